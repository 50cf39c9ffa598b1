"""End-to-end tests of the driver patch TXLDriverPatch.exe with its
stand-ins: the service "TXL Driver QZZ12" (QZZipm12.exe) installed from a
folder of its own, a device window (qzdevwin.exe) and the helper library
(txlsvchlp.dll). One test per outcome a user or the caller sees: the
replaced files and the running service, the signals to the device window,
the exit code, the boxes, the restart dialog and the return-code file.
The machine they run on is in driverpatch_bed.py.

Run by hand: python3 tests/wine/test_driverpatch.py [-k pattern]
"""

import re
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import BIN  # noqa: E402
from driverpatch_bed import (RETURN_CODE, SESSION_MANAGER,  # noqa: E402
                             DriverPatchBed)

MSG1 = ('This update does not support any of the QZ device\n drivers that '
        'you have on your PC. You do not need this software update.')
MSG2 = ('Updating your computer is almost complete.You must restart your '
        'computer for the changes to take effect.Do you want to restart your '
        'computer now?')
MSG5 = 'Update completed successfully.'
MSG9 = ('The current user has no privilege to manage printer.\n'
        'Please Login as administrator.')
MSG1_BY_LANG = {
    'de_DE': 'Dieses Update unterstützt keinen der QZ-Gerätetreiber',
    'zh_SG': '此更新不支援您電腦上的任何 QZ 裝置',
    'zh_CN': '此更新不支持您电脑上的任何 QZ 设备',
}
ARRIVAL = ('WM_DEVICECHANGE wParam=0x8000 size=20 devicetype=0 reserved=0 '
           'identifier=1008 suppfunc=0')


def text(box):
    return box.replace('\r\n', '\n')


class DriverPatchTest(DriverPatchBed, harness.WineTestCase):

    # --- outcomes ----------------------------------------------------------
    def test_silent_direct_replacement(self):
        record = self.start_device_window()
        exe = self.install_service()
        run = self.run_patch('/silent')
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertNothingShown(run)
        for target in (exe, self.system_target, self.driver_target):
            self.assertEqual(target.read_bytes(), self.new, target)
        self.assertTrue(self.wait_state('RUNNING'), self.service_state())
        log = self.service_log(exe)
        where = self.win_path(exe)
        self.assertEqual(log[-2:], [f'registered {where}', f'running {where}'], log)
        self.assertEqual(self.service_log(self.patch / 'QZZipm12.exe'), [])
        lines = record.read_text().splitlines()
        self.assertEqual(lines[1:], ['0x46F wParam=0 lParam=1'] + [ARRIVAL] * 3)
        self.assertIsNone(self.return_code_file())

    def test_interactive_direct_replacement_says_so(self):
        self.start_device_window()
        self.install_service()
        run = self.run_patch()
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertEqual(run.box_records, [('QZ', MSG5, 'OK')], run.describe())
        self.assertIsNone(self.return_code_file())

    def held_run(self, tail, press='ok'):
        """A run whose copy onto the service executable fails."""
        self.start_device_window()
        exe = self.install_service()
        self.hold(exe)
        return exe, self.run_patch(tail, press=press)

    def assertDeferred(self, exe, run):
        self.assertEqual(run.exit_code, 0, run.describe())
        pending = self.reg_query(SESSION_MANAGER, 'PendingFileRenameOperations',
                                 view=None) or ''
        self.assertIn(self.win_path(exe).lower(), pending.lower())
        self.assertEqual(exe.read_bytes(), self.source)
        for target in (self.system_target, self.driver_target):
            self.assertEqual(target.read_bytes(), self.new, target)
        # The new copy beside the driver patch registered the service.
        source = self.patch / 'QZZipm12.exe'
        self.assertIn(f'registered {self.win_path(source)}',
                      self.service_log(source))

    def test_silent_held_executable_is_scheduled_and_leaves_return_code(self):
        exe, run = self.held_run('/silent')
        self.assertDeferred(exe, run)
        self.assertNothingShown(run)
        self.assertEqual(self.return_code_file(), b'2')

    def test_interactive_held_executable_offers_restart(self):
        for press in ('later', 'esc'):
            with self.subTest(press=press):
                exe, run = self.held_run('', press=press)
                self.assertDeferred(exe, run)
                self.assertEqual(run.boxes, [], run.describe())
                self.assertEqual(run.dialogs, [(MSG5, MSG2, 'Restart Now',
                                                'Restart Later')], run.describe())
                self.assertEqual(self.return_code_file(), b'2')
                (self.patch / RETURN_CODE).unlink()
                self._remove_service()

    def test_not_administrator_touches_nothing(self):
        self.start_device_window()
        exe = self.install_service()
        for tail, boxes in (('', [MSG9]), ('/silent', [])):
            with self.subTest(tail=tail):
                run = self.run_patch(tail, env={'QZ_TXLSVCHLP_ANSWER': '0'})
                self.assertEqual(run.exit_code, -1, run.describe())
                self.assertEqual([text(b) for b in run.boxes], boxes)
                self.assertEqual(exe.read_bytes(), self.source)
                self.assertFalse(self.system_target.exists())
                self.assertEqual(self.service_state(), 'RUNNING')
                self.assertIsNone(self.return_code_file())

    def test_missing_new_executable_leaves_the_service_alone(self):
        self.start_device_window()
        exe = self.install_service()
        (self.patch / 'QZZipm12.exe').unlink()
        run = self.run_patch('/silent')
        self.assertEqual(run.exit_code, -1, run.describe())
        self.assertNothingShown(run)
        self.assertEqual(exe.read_bytes(), self.source)
        self.assertEqual(self.service_state(), 'RUNNING')
        self.assertFalse(self.system_target.exists())
        self.assertIsNone(self.return_code_file())

    def test_missing_service_says_not_applicable(self):
        for tail, boxes in (('', [MSG1]), ('/silent', [])):
            with self.subTest(tail=tail):
                run = self.run_patch(tail)
                self.assertEqual(run.exit_code, 0, run.describe())
                self.assertEqual([text(b) for b in run.boxes], boxes)
                self.assertFalse(self.system_target.exists())
                self.assertFalse(self.driver_target.exists())

    def test_service_of_another_executable_is_left_alone(self):
        self.start_device_window()
        exe = self.install_service('QZZipm13.exe')
        run = self.run_patch()
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertEqual([text(b) for b in run.boxes], [MSG1])
        self.assertEqual(exe.read_bytes(), self.source)
        self.assertEqual(self.service_state(), 'RUNNING')
        self.assertFalse(self.system_target.exists())

    def test_silent_switch_is_a_case_sensitive_substring(self):
        for tail, boxes in (('/SILENT', [MSG1]), ('/Silent', [MSG1]),
                            ('x/silenty', []), ('a b/silent', [])):
            with self.subTest(tail=tail):
                run = self.run_patch(tail)
                self.assertEqual(run.exit_code, 0, run.describe())
                self.assertEqual([text(b) for b in run.boxes], boxes)

    def test_messages_in_the_system_default_language(self):
        for lang, start in (('de_DE', MSG1_BY_LANG['de_DE']),
                            ('zh_SG', MSG1_BY_LANG['zh_SG']),
                            ('zh_CN', MSG1_BY_LANG['zh_CN']),
                            ('en_US', MSG1)):
            with self.subTest(lang=lang):
                run = self.run_patch(lang=f'{lang}.UTF-8')
                self.assertEqual(len(run.boxes), 1, run.describe())
                self.assertTrue(text(run.boxes[0]).startswith(start),
                                run.boxes[0])

    def test_all_string_tables_hold_the_six_messages(self):
        listing = subprocess.run(
            ['i686-w64-mingw32-windres', '-i', str(BIN / 'TXLDriverPatch.exe'),
             '-J', 'coff', '-O', 'rc'], capture_output=True, check=True,
            text=True, errors='replace').stdout
        tables = {}
        language = None
        for line in listing.splitlines():
            m = re.match(r'LANGUAGE (\d+), (\d+)', line)
            if m:
                language = int(m.group(1)) | (int(m.group(2)) << 10)
            m = re.match(r'\s+(\d+),\s+L?"', line)
            if m and language is not None:
                tables.setdefault(language, set()).add(int(m.group(1)))
        self.assertEqual(sorted(tables), sorted(
            [1024, 1025, 1028, 1029, 1030, 1031, 1032, 1034, 1035, 1036, 1037,
             1038, 1040, 1041, 1042, 1043, 1044, 1045, 1046, 1049, 1053, 1055,
             2052]))
        for language, ids in tables.items():
            self.assertEqual(ids, {1, 2, 5, 6, 7, 9}, language)


if __name__ == '__main__':
    unittest.main()
