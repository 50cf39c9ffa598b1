"""The machine that the driver patch's Wine tests and its demo run on: the
stand-in service "TXL Driver QZZ12" (QZZipm12.exe) installed from a folder
of its own, the device window qzdevwin.exe, the driver patch in a folder of
its own with a new QZZipm12.exe beside it, and qzhold.exe holding a file.

Under Wine a service process lives only while some other program of the
prefix runs, so a run keeps the device window up until the service state
has been read.
"""

import contextlib
import re
import subprocess
import time
from pathlib import Path

from harness import BIN, TOOLS, time_scale

SERVICE = 'TXL Driver QZZ12'
NEW_MARK = b'\0QZZIPM12-NEW-BUILD'
RETURN_CODE = 'QZVRN_Returncode.txt'
SESSION_MANAGER = 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager'


class DriverPatchBed:
    """A mixin for a harness.WineTestCase: the driver patch in a folder of
    its own with the new QZZipm12.exe beside it, the stand-in service, the
    device window and a held file; everything is removed after the test."""

    def setUp(self):
        super().setUp()
        drive_c = self.prefix / 'drive_c' / 'windows'
        # What a 32-bit program calls system32 is syswow64 in a 64-bit prefix.
        system = drive_c / 'syswow64'
        if not system.exists():
            system = drive_c / 'system32'
        self.system_target = system / 'qzzipm12.exe'
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
        # The driver patch with the new executable beside it, in a folder
        # whose name needs the ANSI code page (1252 under en_US).
        self.patch = self.patch_dir('Patch \u00e4')
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
        end = time.time() + seconds * time_scale()
        while time.time() < end:
            if self.service_state() == state:
                return True
            time.sleep(0.2)
        return False

    def service_log(self, exe):
        log = exe.parent / 'QZZipm12.log'
        # Written with the narrow path, in the ANSI code page.
        return log.read_text(encoding='cp1252').splitlines() if log.exists() else []

    def start_device_window(self):
        """qzdevwin.exe; returns the path of its record file."""
        record = self.patch_dir('device') / 'record.txt'
        p = subprocess.Popen(['wine', str(BIN / 'qzdevwin.exe'),
                              self.win_path(record), '90'], env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(p.wait, 10)
        self.addCleanup(p.terminate)
        end = time.time() + 20 * time_scale()
        while time.time() < end and not (record.exists() and
                                         'ready' in record.read_text()):
            time.sleep(0.1)
        self.assertTrue(record.exists(), 'the device window did not start')
        return record

    def hold(self, path, seconds=30):
        """Holds `path` open without sharing until the test ends. qzhold
        reads only: the service may still run from the file."""
        marker = Path(str(path) + '.held')
        p = subprocess.Popen(['wine', str(TOOLS / 'qzhold.exe'),
                              self.win_path(path), str(seconds)], env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: marker.unlink(missing_ok=True))
        self.addCleanup(p.wait, 10)
        self.addCleanup(p.terminate)
        end = time.time() + 20 * time_scale()
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

