"""End-to-end tests of the main job's install: install paths from the
registry, the patch files beside the manager, the backup, the Setup API
install and the registration by Regsvr32. The update walk, the restart
offer and the cleanup of the patch folder: test_update_walk.py,
test_restart_offer.py, test_patch_cleanup.py; what they share:
install_case.py.

Under Wine a destination in use never reaches the delayed-copy path: held
without sharing it cannot be backed up, held with read sharing it is queued
for the restart without a notification and counts as installed. That path
is proved against the fakes.

Run by hand: python3 tests/wine/test_install_steps.py [-k pattern]
"""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN  # noqa: E402
# test_checker.py takes InstallStepsCase, conditions_xml, names and
# patch_details from here.
from install_case import (BACKUP_FOLDER, INSTALL, MAIN, MOVED_PROGRAM,  # noqa: E402
                          NEW, OLD, REGPROBE, UPDATE_ENDED, InstallStepsCase,
                          conditions_xml, names, patch_details)


# A sub-condition that copies the backup folder out of the patch folder to
# a folder of the test's own while the run is on, and lets its entry apply.
PEEK = '''
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  fso.CopyFolder({backups}, {spy});
  return true;
'''


def js_str(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def wait_for(path, seconds=10):
    """Regsvr32 is started and not waited for. Polled rather than waited
    for with the robot's job: a desktop process that a run happens to start
    joins the job and outlives the run while others use the prefix."""
    deadline = time.monotonic() + seconds * harness.time_scale()
    while not path.exists() and time.monotonic() < deadline:
        time.sleep(0.05)
    return path.exists()


class InstallPathTests(InstallStepsCase):

    def test_first_location_without_its_key_falls_to_the_second(self):
        folder, location = self.product({'QZZa.ini': OLD})
        missing = (location[0] + '-absent', 'InstallDir')
        d = self.patch({'QZZa.ini': NEW},
                       [patch_details('QZZa.ini', [missing, location])])
        run = self.run_patch(d)
        self.assertEntriesInOrder(run, [
            ('CVRNManager:ReturnRegistryPath', 'Registry Key:', 'Absent'),
            ('CVRNManager:ReturnRegistryPath', 'Destination patch Path:',
             self.win_path(folder)),
            self.installed(d, 'QZZa.ini', folder)])
        self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)

    def test_file_with_a_folder_part_comes_from_that_subfolder(self):
        folder, location = self.product({'QZZa.ini': OLD})
        d = self.patch({'sub\\QZZa.ini': NEW, 'QZZa.ini': b'not this one'},
                       [patch_details('sub\\QZZa.ini', [location])])
        run = self.run_patch(d)
        self.assertEntry(run, INSTALL, 'SetupInstallFileEx 1: Result = 1, '
                         f'Filename = QZZa.ini, sourcepath = '
                         f'{self.win_path(d / "sub")}, destinationpath = '
                         f'{self.win_path(folder / "QZZa.ini")}', ' Info')
        self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)

    def test_patch_file_that_cannot_be_used_gives_message_3(self):
        # Missing, or named outside the patch folder (where a file of that
        # name lies, which the run must neither install nor delete).
        folder, location = self.product({'QZZoutside.ini': OLD,
                                         'QZZmissing.ini': OLD})
        for name, entry in (
                ('QZZmissing.ini', None),
                ('..\\QZZoutside.ini', ('CVRNManager:VerifySourceFilesPath',
                                        'Patch file name not allowed: '
                                        '..\\QZZoutside.ini', 'Failed'))):
            with self.subTest(name):
                d = self.patch({}, [patch_details(name, [location])])
                outside = d.parent / 'QZZoutside.ini'
                outside.write_bytes(NEW)
                self.addCleanup(outside.unlink, True)
                run = self.run_patch(d, WEB_TOKEN)
                if entry:
                    self.assertEntry(run, *entry)
                self.assertEntry(run, MAIN, 'VerifySourceFilesPath:', 'Failed')
                self.assertEqual(run.boxes, [MSG3_EN], run.describe())
                self.assertLogLacks(run, ('CVRNManager', 'DoUpdate', 'Started'))
                self.assertEqual((folder / name.split('\\')[-1]).read_bytes(),
                                 OLD)
                self.assertEqual(outside.read_bytes(), NEW)


class MainJobTests(InstallStepsCase):

    def test_three_files_two_replaced_one_registered(self):
        folder, location = self.product({'QZZa.ini': OLD,
                                         'QZZdemo.dll': b'old server'})
        spy = self.patch_dir()
        server = REGPROBE.read_bytes()
        d = self.patch({'QZZa.ini': NEW, 'QZZdemo.dll': server,
                        'QZZnew.txt': b'new file'},
                       [patch_details('QZZa.ini', [location]),
                        patch_details('QZZnew.txt', [location], 'peek'),
                        patch_details('QZZdemo.dll', [location], comreg=True)])
        (d / 'QZVRN_Conditions.config').write_text(conditions_xml({
            'peek': PEEK.format(backups=js_str(self.win_path(d) + '\\qzvrn*'),
                                spy=js_str(self.win_path(spy)))}))
        run = self.run_patch(d)

        # While the run was on: one backup folder with the two originals.
        backups = names(spy)
        self.assertEqual(len(backups), 1, run.describe())
        self.assertRegex(backups[0], BACKUP_FOLDER)
        # Beside the copies, the walk's record.
        self.assertEqual(names(spy / backups[0]),
                         ['QZVRN.journal', 'QZZa.ini', 'QZZdemo.dll'])
        self.assertEqual((spy / backups[0] / 'QZZa.ini').read_bytes(), OLD)
        self.assertEqual((spy / backups[0] / 'QZZdemo.dll').read_bytes(),
                         b'old server')
        backup = self.win_path(d / backups[0])

        dll = self.win_path(folder / 'QZZdemo.dll')
        self.assertEntriesInOrder(run, [
            ('CVRNManager:Backup', 'Destination file :', 'Absent'),
            self.installed(d, 'QZZa.ini', folder),
            self.installed(d, 'QZZnew.txt', folder),
            self.installed(d, 'QZZdemo.dll', folder),
            ('CVRNManager:RegisterCOMDLLS', f'Regsvr32  /s "{dll}"', 'Info'),
            UPDATE_ENDED,
            ('CVRNManager:Cleanup - Delete backup folder file:',
             f'{backup}\\QZZa.ini', 'Succeeded'),
            ('CVRNManager:Cleanup - Delete backup folder file:',
             f'{backup}\\QZZdemo.dll', 'Succeeded'),
            ('CVRNManager:Cleanup - Remove backup folder:', backup,
             'Succeeded')])
        self.assertEqual(run.boxes, [], run.describe())

        self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)
        self.assertEqual((folder / 'QZZnew.txt').read_bytes(), b'new file')
        self.assertEqual((folder / 'QZZdemo.dll').read_bytes(), server)
        registered = folder / 'QZZdemo.dll.registered'
        self.assertTrue(wait_for(registered), run.describe())
        loader = registered.read_text()
        self.assertEqual(loader.rsplit('\\', 1)[-1].lower(), 'regsvr32.exe',
                         loader)

        # Inputs, scripts and backup gone; the program file moved.
        left = names(d)
        self.assertEqual(len(left), 1, left)
        self.assertRegex(left[0], MOVED_PROGRAM)


if __name__ == '__main__':
    unittest.main()
