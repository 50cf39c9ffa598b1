"""End-to-end tests of the main job: install paths from the registry, the
patch files beside the manager, the backup, the Setup API install, the
registration by Regsvr32, the update walk with its sub-conditions and
program entries, the restart offer and the cleanup of the patch folder.

Under Wine a destination in use never reaches the delayed-copy path: held
without sharing it cannot be backed up, held with read sharing it is queued
for the restart without a notification and counts as installed. That path
is proved against the fakes; here the restart offer comes from the rule
file's rebootFlag.
"Restart Now" ends every process of the prefix and is never pressed here.

Run by hand: python3 tests/wine/test_install_steps.py [-k pattern]
"""

import re
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN, log_line_bytes  # noqa: E402

REGPROBE = harness.TOOLS / 'qzregprobe.dll'
MAIN = 'QZVRN:Main'
INSTALL = 'CVRNManager:InstallPatch'
SUBCONDITION = 'CVRNManager:DoUpdate SubCondition: '
SHUTDOWN = 'CVRNManager::SystemShutdown'
UPDATE_ENDED = ('CVRNManager', 'DoUpdate', 'Ended')
REGISTRATION = ('CVRNManager', 'RegisterCOMDLLS', 'Started')
MOVED_PROGRAM = re.compile(r'tmp\d+\.tmp')
BACKUP_FOLDER = re.compile(r'qzvrn\d+')

OLD = b'[QZ]\r\nVersion=1.0\r\n'
NEW = b'[QZ]\r\nVersion=2.0\r\n'

# The restart dialog: caption, question, "Restart Now", "Restart Later".
RESTART_EN = ('QZ', 'Updating your computer is almost complete. You must '
              'restart your computer for the changes to take effect. Do you '
              'want to restart your computer now?', 'Restart Now',
              'Restart Later')
RESTART_DE = ('QZ', 'Die Aktualisierung Ihres Computers ist fast '
              'abgeschlossen. Sie müssen den Computer neu starten, damit die '
              'Änderungen wirksam werden. Möchten Sie den Computer jetzt neu '
              'starten?', 'Jetzt neu starten', 'Später neu starten')

# A sub-condition that copies the backup folder out of the patch folder to
# a folder of the test's own while the run is on, and lets its entry apply.
PEEK = '''
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  fso.CopyFolder({backups}, {spy});
  return true;
'''


def js_str(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def patch_details(name, keys=(), condition=None, comreg=False, arguments=None):
    """One PATCH_DETAILS: a file entry with registry locations (subkey,
    value name), or with arguments a program entry."""
    attr = f' Condition_Ref="{condition}"' if condition else ''
    xml = [f'    <PATCH_DETAILS{attr}>',
           f'      <INSTALLFILENAME>{name}</INSTALLFILENAME>']
    if keys:
        xml.append('      <REGKEYS>')
        xml += [f'        <INSTALLPATH_REGKEY Key="{k}" Value="{v}" Path=""/>'
                for k, v in keys]
        xml.append('      </REGKEYS>')
    if comreg:
        xml.append('      <COMREG_REQUIRED>TRUE</COMREG_REQUIRED>')
    if arguments is not None:
        xml += ['      <EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>',
                f'      <ARGUMENTS>{arguments}</ARGUMENTS>']
    return '\n'.join(xml + ['    </PATCH_DETAILS>', ''])


def conditions_xml(conditions):
    body = ''.join(f'    <CONDITION ID="{i}"><JSCRIPT><![CDATA[{js}]]>'
                   '</JSCRIPT></CONDITION>\n' for i, js in conditions.items())
    return ('<?xml version="1.0"?>\n<QZVRN_CONDITIONS>\n  <CONDITION_DETAILS>\n'
            f'{body}  </CONDITION_DETAILS>\n</QZVRN_CONDITIONS>\n')


def names(folder):
    return sorted(p.name for p in folder.iterdir())


def wait_for(path, seconds=10):
    """Regsvr32 is started and not waited for. Polled rather than waited
    for with the robot's job: a desktop process that a run happens to start
    joins the job and outlives the run while others use the prefix."""
    deadline = time.monotonic() + seconds * harness.time_scale()
    while not path.exists() and time.monotonic() < deadline:
        time.sleep(0.05)
    return path.exists()


class InstallStepsCase(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        if not REGPROBE.exists():
            self.fail(f'{REGPROBE} is missing: build it first (make build)')
        self._products = 0

    def product(self, files=None):
        """An installed product: a folder with the given files, named by a
        registry value. Returns (folder, location for patch_details)."""
        self._products += 1
        folder = self.patch_dir()  # named after the test: no other test's
        for name, data in (files or {}).items():
            (folder / name).write_bytes(data)
        key = f'{self.unique_key()}-{self._products}'
        self.reg_add(key, 'InstallDir', 'REG_SZ', self.win_path(folder))
        return folder, (key.split('\\', 1)[1], 'InstallDir')

    def patch(self, files, updates, conditions=None, rule='return true;',
              reboot_flag='0', silent=False, switches=''):
        d = self.patch_dir()
        for name, data in files.items():
            path = d / name.replace('\\', '/')
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        (d / 'QZVRN.config').write_text(harness.config_xml(
            silent=silent, updates=''.join(updates), switches=switches))
        (d / 'rules.xml').write_text(harness.rules_xml(rule, reboot_flag))
        if conditions:
            (d / 'QZVRN_Conditions.config').write_text(
                conditions_xml(conditions))
        return d

    def run_patch(self, d, tail='QZSU', **kw):
        run = self.run_manager(tail, cwd=d, **kw)
        self.assertEqual(run.exit_code, 0, run.describe())
        return run

    # The log as bytes: several fields end or begin with a blank, which the
    # split into fields cannot tell from the separator.
    def assertEntry(self, run, *entry):
        if log_line_bytes(*entry) not in (run.log_bytes or b''):
            self.fail(f'log lacks {entry!r}{run.describe()}')

    def assertEntriesInOrder(self, run, entries):
        pos = 0
        for e in entries:
            i = (run.log_bytes or b'').find(log_line_bytes(*e), pos)
            if i < 0:
                self.fail(f'{e!r} missing or out of order{run.describe()}')
            pos = i + 1

    def installed(self, patch, name, folder):
        """The normal-form install entry of one file."""
        return (INSTALL, f'SetupInstallFileEx 1: Result = 1, Filename = {name}'
                f', sourcepath = {self.win_path(patch)}, destinationpath = '
                f'{self.win_path(folder / name)}', ' Info')


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


class RestartTests(InstallStepsCase):
    """rebootFlag 1: the restart is offered (unless silent) and, put off,
    leaves return code 2 for the caller."""

    def test_restart_put_off_leaves_return_code_2(self):
        folder, location = self.product()
        for what, press, lang, silent, dialogs in (
                ('Restart Later', 'later', None, False, [RESTART_EN]),
                ('close box', 'close', None, False, [RESTART_EN]),
                ('German system', 'later', 'de_DE.UTF-8', False, [RESTART_DE]),
                ('silent', 'none', None, True, [])):
            with self.subTest(what):
                (folder / 'QZZa.ini').write_bytes(OLD)
                d = self.patch({'QZZa.ini': NEW},
                               [patch_details('QZZa.ini', [location])],
                               reboot_flag='1', silent=silent)
                run = self.run_patch(d, press=press, lang=lang)
                self.assertEqual(run.dialogs, dialogs, run.describe())
                self.assertEqual(run.boxes, [], run.describe())
                # A restart to come: every file takes the forced form.
                self.assertEntriesInOrder(run, [
                    (INSTALL, 'SetupInstallFileEx 2: Result= 1 Filename = '
                     f'QZZa.ini, Sourcepath = {self.win_path(d)}, '
                     'Destinationpath = '
                     f'{self.win_path(folder / "QZZa.ini")}', ' Info'),
                    UPDATE_ENDED,
                    (SHUTDOWN, 'Info', 'Restart Later'),
                    ('CVRNManager', 'SystemShutdown', 'Ended')])
                self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)
                self.assertEqual((d / 'QZVRN_Returncode.txt').read_bytes(),
                                 b'2')
                left = names(d)
                self.assertEqual(len(left), 2, left)
                self.assertEqual(left[0], 'QZVRN_Returncode.txt')
                self.assertRegex(left[1], MOVED_PROGRAM)


class UpdateWalkTests(InstallStepsCase):

    def three_files(self, conditions, middle_condition, last_comreg=False):
        folder, location = self.product()
        files = {f'QZZ{c}.txt': c.encode() for c in 'abc'}
        d = self.patch(files, [
            patch_details('QZZa.txt', [location]),
            patch_details('QZZb.txt', [location], middle_condition),
            patch_details('QZZc.txt', [location], 'undefined',
                          comreg=last_comreg)], conditions)
        return folder, d

    def test_false_sub_condition_skips_only_its_entry(self):
        folder, d = self.three_files({'no': 'return false;'}, 'no')
        run = self.run_patch(d)
        self.assertEntriesInOrder(run, [
            self.installed(d, 'QZZa.txt', folder),
            (SUBCONDITION, 'PatchFile = QZZb.txt, SubCondition = no : '
             'Returns FALSE', 'Failed'),
            # A condition that was never defined lets its entry apply.
            self.installed(d, 'QZZc.txt', folder),
            UPDATE_ENDED])
        self.assertEqual(names(folder), ['QZZa.txt', 'QZZc.txt'])

    def test_failing_sub_condition_stops_the_walk(self):
        # Wine's script host exits 0 on a script error: quit with 5 instead.
        folder, d = self.three_files({'broken': 'WScript.Quit(5);'}, 'broken',
                                     last_comreg=True)
        run = self.run_patch(d)
        self.assertEntriesInOrder(run, [
            self.installed(d, 'QZZa.txt', folder),
            (SUBCONDITION, 'Javascript Error', 'Failed'),
            (MAIN, 'DoUpdate:', 'Failed')])
        self.assertLogLacks(run, REGISTRATION)
        self.assertLogLacks(run, UPDATE_ENDED)
        self.assertEqual(names(folder), ['QZZa.txt'])
        self.assertEqual(run.boxes, [], run.describe())

    def test_conditions_that_cannot_be_asked_do_not_apply(self):
        """A condition whose script cannot be written (an ID too long for a
        file name) and a reference that leaves the folder are conditions
        that do not hold; one never defined still applies."""
        long_id = 'L' * 250
        folder, location = self.product()
        files = {f'QZZ{c}.txt': c.encode() for c in 'abc'}
        d = self.patch(files, [
            patch_details('QZZa.txt', [location], long_id),
            patch_details('QZZb.txt', [location], 'x\\..\\..\\qzoutside'),
            patch_details('QZZc.txt', [location], 'undefined')],
            {long_id: 'return false;'})
        run = self.run_patch(d)
        self.assertEntriesInOrder(run, [
            ('CVRNManager:ReadConditions', 'Condition ID refused: ', long_id),
            # The log keeps a field's first 255 characters.
            (SUBCONDITION, (f'PatchFile = QZZa.txt, SubCondition = {long_id} '
                            ': Returns FALSE')[:255], 'Failed'),
            (SUBCONDITION, 'PatchFile = QZZb.txt, SubCondition = '
             'x\\..\\..\\qzoutside : Returns FALSE', 'Failed'),
            self.installed(d, 'QZZc.txt', folder),
            UPDATE_ENDED])
        self.assertEqual(names(folder), ['QZZc.txt'])

    def test_a_configuration_with_a_document_type_is_refused(self):
        folder, location = self.product({'QZZa.txt': OLD})
        d = self.patch({'QZZa.txt': NEW}, [patch_details('QZZa.txt', [location])])
        config = (d / 'QZVRN.config').read_text()
        dtd = d / 'qz.dtd'
        dtd.write_text('<!ENTITY e "planted">')
        (d / 'QZVRN.config').write_text(config.replace(
            '<QZVRN_PARAMETERS>',
            f'<!DOCTYPE QZVRN_PARAMETERS SYSTEM "{self.win_path(dtd)}">\n'
            '<QZVRN_PARAMETERS>', 1))
        run = self.run_manager('QZSU', cwd=d)
        self.assertEqual(run.exit_code, -1, run.describe())
        self.assertEntry(run, 'CVRNManager:ReadConfiguration',
                         'Document type not allowed: ' +
                         self.win_path(d / 'QZVRN.config'), 'Failed')
        self.assertEntry(run, MAIN, 'Exception:', 'failed')
        self.assertEqual((folder / 'QZZa.txt').read_bytes(), OLD)

    def test_program_entries_run_at_their_place(self):
        # The probe stores the command-line tail it got in cmdline.hex
        # beside itself; each copy lives in a folder of its own.
        probe = harness.tool_exe('qzprobe').read_bytes()
        folder, location = self.product()
        d = self.patch({'QZZa.txt': b'a', 'QZZb.txt': b'b',
                        'one\\qzprobe.exe': probe, 'two\\qzprobe.exe': probe},
                       [patch_details('QZZa.txt', [location]),
                        patch_details('one\\qzprobe.exe', arguments='/silent'),
                        patch_details('QZZb.txt', [location]),
                        patch_details('two\\qzprobe.exe', arguments='null')])
        run = self.run_patch(d)
        one = self.win_path(d / 'one' / 'qzprobe.exe')
        two = self.win_path(d / 'two' / 'qzprobe.exe')
        self.assertEntriesInOrder(run, [
            self.installed(d, 'QZZa.txt', folder),
            ('CVRNManager:RunProcess',
             f'Runprocess File= {one}, Cmdline = {one} /silent', 'Info'),
            self.installed(d, 'QZZb.txt', folder),
            ('CVRNManager:RunProcess', f'Runprocess File= {two}, Cmdline = ',
             'Info'),
            UPDATE_ENDED])
        # The probe exits -1: a program's exit code is not the update's.
        self.assertEqual(bytes.fromhex((d / 'one' / 'cmdline.hex').read_text()),
                         b'/silent')
        self.assertEqual((d / 'two' / 'cmdline.hex').read_text(), '')


class CleanupTests(InstallStepsCase):

    def test_read_only_patch_file_is_made_writable_then_deleted(self):
        folder, location = self.product()
        d = self.patch({'QZZa.ini': NEW},
                       [patch_details('QZZa.ini', [location])])
        (d / 'QZZa.ini').chmod(0o444)
        run = self.run_patch(d)
        path = self.win_path(d / 'QZZa.ini')
        self.assertEntriesInOrder(run, [
            ('CVRNManager:Cleanup - Change readonly attribute:', path,
             'Succeeded'),
            ('CVRNManager:Cleanup - Delete condition config file:', path,
             'Succeeded')])
        self.assertFalse((d / 'QZZa.ini').exists())

    def test_recursive_mode_keeps_exactly_three_names(self):
        folder, location = self.product({'QZZa.ini': OLD})
        d = self.patch({'QZZa.ini': NEW, 'QZVRN_Returncode.txt': b'7',
                        'QZVRN.log': b'kept', 'qzvrn.LOG': b'other case',
                        'extra.txt': b'x', 'sub\\deep\\x.txt': b'x',
                        'sub\\y.txt': b'y'},
                       [patch_details('QZZa.ini', [location])],
                       switches='  <CLEANUP_RECURSIVE>TRUE</CLEANUP_RECURSIVE>\n')
        run = self.run_patch(d)
        sub = self.win_path(d / 'sub')
        self.assertEntriesInOrder(run, [
            ('CVRNManager:Cleanup Deletefolder:', f'{sub}\\deep', 'Succeeded'),
            ('CVRNManager', 'Cleanup', 'Ended'),
            ('CVRNManager:Cleanup Deletefolder:', sub, 'Succeeded')])
        for name in ('extra.txt', 'qzvrn.LOG', 'rules.xml', 'QZZa.ini'):
            self.assertEntry(run, 'CVRNManager:Cleanup Deletefile:',
                             self.win_path(d / name), 'Succeeded')
        left = names(d)
        self.assertEqual(len(left), 3, left)
        self.assertEqual(left[:2], ['QZVRN.log', 'QZVRN_Returncode.txt'])
        self.assertRegex(left[2], MOVED_PROGRAM)
        self.assertEqual((d / 'QZVRN_Returncode.txt').read_bytes(), b'7')
        self.assertEqual((d / 'QZVRN.log').read_bytes(), b'kept')
        self.assertEqual((folder / 'QZZa.ini').read_bytes(), NEW)


if __name__ == '__main__':
    unittest.main()
