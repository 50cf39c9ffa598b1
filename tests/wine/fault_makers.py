"""How the fault matrix (test_fault_matrix.py) makes its faults: a file
held open by another program, a folder turned read-only, a full drive, no
ProgramFilesDir; each put back when its row ends (self.row_cleanup).
"""

import contextlib
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from fault_rows import FULL_DRIVE  # noqa: E402

CONTROL = harness.BIN / 'qzkdiag.dll'
HOLDER = harness.TOOLS / 'qzholder.exe'
VERSION_KEY = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion'


class FaultMakers:
    """Mixed into the matrix's WineTestCase."""

    def hold(self, path, share=None):
        """Another program holds the file open for writing until the row
        ends, sharing nothing or (share 'read') only reading."""
        flag = self.pause_dir / 'held'
        proc = subprocess.Popen(
            ['wine', str(HOLDER), self.win_path(path), self.win_path(flag)] +
            ([share] if share else []),
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)

        def release():
            with contextlib.suppress(FileNotFoundError):
                flag.unlink()
            try:
                proc.wait(timeout=20 * harness.time_scale())
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.row_cleanup.callback(release)
        deadline = time.time() + 20 * harness.time_scale()
        while time.time() < deadline and not flag.exists():
            time.sleep(0.05)
        text = flag.read_text() if flag.exists() else 'no answer'
        if text != 'held':
            raise RuntimeError(f'holder: {text}')

    def read_only_mount(self, folder):
        """The patch folder turns read-only under the running program."""
        subprocess.run(['mount', '--bind', str(folder), str(folder)],
                       check=True)
        self.row_cleanup.callback(subprocess.run, ['umount', '-l', str(folder)])
        subprocess.run(['mount', '-o', 'remount,bind,ro', str(folder)],
                       check=True)

    def full_drive(self):
        """A drive of 64 KiB, almost full, as FULL_DRIVE; returns its root."""
        mount = harness.WINE_ROOT / f'full-drive-{os.getpid()}'
        mount.mkdir(parents=True, exist_ok=True)
        subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=64k', 'qzfull',
                        str(mount)], check=True)
        self.row_cleanup.callback(shutil.rmtree, mount, True)
        self.row_cleanup.callback(subprocess.run, ['umount', '-l', str(mount)])
        link = self.prefix / 'dosdevices' / FULL_DRIVE
        with contextlib.suppress(FileNotFoundError):
            link.unlink()
        link.symlink_to(mount)
        self.row_cleanup.callback(link.unlink)
        return mount

    def without_program_files(self):
        """No ProgramFilesDir and the control not registered; both come back
        afterwards, the control registered where the manager puts it."""
        old = self.reg_query(VERSION_KEY, 'ProgramFilesDir')
        self.assertTrue(old, 'no ProgramFilesDir in the prefix')
        spare = self.patch_dir('unregister')
        shutil.copyfile(CONTROL, spare / 'qzkdiag.dll')
        self.wine(['regsvr32', '/s', '/u', self.win_path(spare / 'qzkdiag.dll')])
        home = self.unix_path(old) / 'QZ' / 'temp' / 'VRNU'

        def restore():
            self.reg_add(VERSION_KEY, 'ProgramFilesDir', 'REG_SZ', old,
                         cleanup=False)
            home.mkdir(parents=True, exist_ok=True)
            if not (home / 'qzkdiag.dll').exists():
                shutil.copyfile(CONTROL, home / 'qzkdiag.dll')
            self.wine(['regsvr32', '/s', self.win_path(home / 'qzkdiag.dll')])
        self.row_cleanup.callback(restore)
        self.reg_delete(VERSION_KEY, 'ProgramFilesDir')

    def can_mount(self):
        probe = harness.WINE_ROOT / f'mount-probe-{os.getpid()}'
        probe.mkdir(parents=True, exist_ok=True)
        ok = subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=4k', 'qzprobe',
                             str(probe)], capture_output=True).returncode == 0
        if ok:
            subprocess.run(['umount', str(probe)])
        probe.rmdir()
        return ok
