"""End-to-end tests of the driver patch TXLDriverPatch.exe with its
stand-ins: the service "TXL Driver QZZ12" (QZZipm12.exe) installed from a
folder of its own, a device window (qzdevwin.exe) and the helper library
(txlsvchlp.dll). One test per outcome a user or the caller sees: the
replaced files and the running service, the signals to the device window,
the exit code, the boxes, the restart dialog and the return-code file.

Under Wine a service process lives only while some other program of the
prefix runs, so every run here keeps the device window up until the
service state has been read.

Run by hand: python3 tests/wine/test_driverpatch.py [-k pattern]
"""

import contextlib
import re
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import BIN, TOOLS  # noqa: E402

SERVICE = 'TXL Driver QZZ12'
NEW_MARK = b'\0QZZIPM12-NEW-BUILD'
RETURN_CODE = 'QZVRN_Returncode.txt'
SESSION_MANAGER = 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager'

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


class DriverPatchTest(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        drive_c = self.prefix / 'drive_c' / 'windows'
        # What a 32-bit program calls system32 is syswow64 in this prefix.
        self.system_target = drive_c / 'syswow64' / 'qzzipm12.exe'
        self.driver_target = (drive_c / 'system32' / 'spool' / 'drivers' /
                              'w32x86' / '3' / 'QZZIPM12.EXE')
        self.source = (BIN / 'QZZipm12.exe').read_bytes()
        self.new = self.source + NEW_MARK
        for target in (self.system_target, self.driver_target):
            self._remove_later(target)
        self.addCleanup(self._remove_service)
        self._remove_service()
        pending = self.reg_query(SESSION_MANAGER, 'PendingFileRenameOperations',
                                 view=None)
        if pending is None:
            self.addCleanup(self.reg_delete, SESSION_MANAGER,
                            'PendingFileRenameOperations', None)
        # The driver patch with the new executable beside it.
        self.patch = self.patch_dir('patch')
        for name in ('TXLDriverPatch.exe', 'txlsvchlp.dll'):
            (self.patch / name).write_bytes((BIN / name).read_bytes())
        (self.patch / 'QZZipm12.exe').write_bytes(self.new)

    def _remove_later(self, path):
        with contextlib.suppress(FileNotFoundError):
            path.unlink()
        self.addCleanup(lambda: path.unlink(missing_ok=True))

    def _remove_service(self):
        self.wine(['sc', 'stop', SERVICE])
        self.wine(['sc', 'delete', SERVICE])

    # --- the machine -----------------------------------------------------
    def install_service(self, name='QZZipm12.exe'):
        """The stand-in service from a folder of its own, running."""
        folder = self.patch_dir('service')
        exe = folder / name
        exe.write_bytes(self.source)
        r = self.wine([self.win_path(exe), '/REGSERVER'])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.wine(['sc', 'start', SERVICE])
        self.assertTrue(self.wait_state('RUNNING'), self.service_state())
        return exe

    def service_state(self):
        r = self.wine(['sc', 'query', SERVICE])
        m = re.search(r'STATE\s*:\s*\d+\s+(\w+)', r.stdout)
        return m.group(1) if m else None

    def wait_state(self, state, seconds=10):
        end = time.time() + seconds
        while time.time() < end:
            if self.service_state() == state:
                return True
            time.sleep(0.2)
        return False

    def service_log(self, exe):
        log = exe.parent / 'QZZipm12.log'
        return log.read_text().splitlines() if log.exists() else []

    def start_device_window(self):
        """qzdevwin.exe; returns the path of its record file."""
        record = self.patch_dir('device') / 'record.txt'
        p = subprocess.Popen(['wine', str(BIN / 'qzdevwin.exe'),
                              self.win_path(record), '90'], env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(p.wait, 10)
        self.addCleanup(p.terminate)
        end = time.time() + 20
        while time.time() < end and not (record.exists() and
                                         'ready' in record.read_text()):
            time.sleep(0.1)
        self.assertTrue(record.exists(), 'the device window did not start')
        return record

    def hold(self, path, seconds=30):
        """Holds `path` open without sharing until the test ends."""
        marker = Path(str(path) + '.held')
        p = subprocess.Popen(['wine', str(TOOLS / 'qzhold.exe'),
                              self.win_path(path), str(seconds)], env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: marker.unlink(missing_ok=True))
        self.addCleanup(p.wait, 10)
        self.addCleanup(p.terminate)
        end = time.time() + 20
        while time.time() < end and not marker.exists():
            time.sleep(0.1)
        self.assertTrue(marker.exists(), 'qzhold did not take the file')

    def run_patch(self, tail='', press='ok', env=None, lang=None):
        """The driver patch started from another folder than its own."""
        cwd = self.patch_dir('cwd')
        return self.run_program(self.patch / 'TXLDriverPatch.exe', tail, cwd=cwd,
                                press=press, env=env, lang=lang, timeout=90)

    def return_code_file(self):
        f = self.patch / RETURN_CODE
        return f.read_bytes() if f.exists() else None

    def assertNothingShown(self, run):
        self.assertEqual((run.boxes, run.dialogs, run.windows), ([], [], []),
                         run.describe())

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
