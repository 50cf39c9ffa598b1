"""A run killed during its copy phase, started again from the same folder,
directly or through QZVRNDeploy.exe; and what the next start must not
trust or disturb: a backup copy changed after the kill, a record left by
another patch, a run still alive in the folder.

A silent QZSU run replacing three large files is killed (SIGKILL, as a
crash or a management agent would) once its log shows the copy of the
second file begun, after a delay taken in turn from DELAYS; the kill is
retried, within MAX_ATTEMPTS and a time bound, until one lands inside the
walk with a destination torn (failing that, the last attempt must have
landed inside the walk). Then the manager
is started again in the same folder: with the main rule saying "not
needed" every destination must hold exactly its old bytes, with the update
exactly its new bytes, and the stale backup folder must be gone. Each kill
instant and where it stopped is printed.

Run by hand: python3 tests/wine/test_interrupted_run.py -v
"""

import contextlib
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import WEB_TOKEN  # noqa: E402

MSG1_EN = ('This update does not support any of the QZ device\n drivers that '
           'you have on your PC. You do not need this software update.')
NAMES = ['QZZbig1.dat', 'QZZbig2.dat', 'QZZbig3.dat']
SIZE = 32 << 20
# Seconds after the second copy began: a copy takes some tens of
# milliseconds, natively as under emulation (its file I/O is the host's).
DELAYS = [0.0, 0.002, 0.005, 0.0, 0.01, 0.001]
MAX_ATTEMPTS = len(DELAYS)
RESTORE = 'CVRNManager:RecoverInterruptedRun - Restore original:'
REMOVE_FOLDER = 'CVRNManager:RecoverInterruptedRun - Remove stale backup folder:'
REFUSED = 'CVRNManager:RecoverInterruptedRun - Backup record refused:'
HOLDER = harness.TOOLS / 'qzholder.exe'
DEPLOY = harness.BIN / 'QZVRNDeploy.exe'


def old(i):
    return bytes([0x41 + i]) * SIZE


def new(i):
    return bytes([0x61 + i]) * SIZE


class InterruptedRunTest(harness.WineTestCase):

    def prepare(self, names=NAMES):
        """The product with its old files, the patch folder with the new
        ones, the configuration, a main rule that says "not needed"."""
        for i, name in enumerate(NAMES):
            (self.product / name).write_bytes(old(i))
        if self.patch.exists():
            shutil.rmtree(self.patch)
        self.patch.mkdir()
        for i, name in enumerate(NAMES):
            (self.patch / name).write_bytes(new(i))
        shutil.copyfile(harness.BIN / 'qzkdiag.dll', self.patch / 'qzkdiag.dll')
        for exe in (harness.BIN / harness.PRODUCT, DEPLOY):
            shutil.copyfile(exe, self.patch / exe.name)
        self.write_config(names)
        (self.patch / 'rules.xml').write_text(harness.rules_xml('return false;'))

    def write_config(self, names, before=''):
        key = self.key.split('\\', 1)[1]
        (self.patch / 'QZVRN.config').write_text(harness.config_xml(
            silent=self.silent, updates=before + ''.join(
                '    <PATCH_DETAILS>\n'
                f'      <INSTALLFILENAME>{name}</INSTALLFILENAME>\n'
                f'      <REGKEYS><INSTALLPATH_REGKEY Key="{key}" '
                'Value="InstallDir" Path=""/></REGKEYS>\n'
                '    </PATCH_DETAILS>\n' for name in names)), encoding='utf-8')

    def where(self, log):
        """Where the killed run stopped, from its log and the files."""
        if b'CVRNManager  Backup  Ended' not in log:
            return False, 'before its walk'
        if b'CVRNManager  DoUpdate  Ended' in log:
            return False, 'after its walk'
        begun = log.count(b'CVRNManager  InstallPatch  Started')
        done = log.count(b'SetupInstallFileEx 1: Result = 1')
        states = []
        for i, name in enumerate(NAMES):
            data = (self.product / name).read_bytes()
            states.append('old' if data == old(i) else 'new' if data == new(i)
                          else f'torn ({len(data) >> 10} KiB)')
        return True, (f'inside its walk, file {begun} begun, {done} copied; '
                      f'destinations: {", ".join(states)}')

    def start_update(self):
        """A QZSU run of the patch folder's manager with a fresh log, not
        waited for."""
        with contextlib.suppress(FileNotFoundError):
            self.log_path.unlink()
        return subprocess.Popen(
            ['wine', self.win_path(self.patch / harness.PRODUCT), 'QZSU'],
            cwd=self.patch, env=self.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start_deploy(self):
        """QZVRNDeploy.exe of the patch folder, not waited for."""
        for p in self.private_copies():
            shutil.rmtree(p, ignore_errors=True)
        return subprocess.Popen(
            ['wine', self.win_path(self.patch / DEPLOY.name), '/log', self.win_path(self.logs)],
            cwd=self.patch.parent, env=self.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def deploy_log(self):
        """The log of the wrapper's manager, in its private temporary folder."""
        temps = [p for p in self.private_copies() if p.suffix == '.temp']
        return temps[0] / harness.LOG_NAME if temps else self.log_path.with_name('none')

    def kill_deploy(self, proc):
        # The wrapper and its manager go together, as in a power cut.
        self.kill_windows_process('QZVRNDeploy.', 'QZVRN.exe')
        os.kill(proc.pid, signal.SIGKILL)

    def kill_during_copy(self, deploy=False):
        """Starts the update (through the wrapper with `deploy`) and kills
        it inside its walk; returns what was tried, one line an attempt."""
        start, log_path = self.start_update, lambda: self.log_path
        if deploy:
            start, log_path = self.start_deploy, self.deploy_log
        tried, inside_walk = [], False
        deadline = time.time() + 300 * harness.time_scale()
        for attempt, delay in enumerate(DELAYS[:MAX_ATTEMPTS]):
            if time.time() > deadline:
                break
            self.prepare()
            proc = start()
            try:
                limit = time.time() + 120 * harness.time_scale()
                while proc.poll() is None and time.time() < limit:
                    log = log_path().read_bytes() if log_path().exists() else b''
                    if log.count(b'CVRNManager  InstallPatch  Started') >= 2:
                        break
                    time.sleep(0.005)
                time.sleep(delay)
            finally:
                if deploy:
                    self.kill_deploy(proc)
                elif proc.poll() is None:
                    os.kill(proc.pid, signal.SIGKILL)
                proc.wait()
            inside, text = self.where(log_path().read_bytes()
                                      if log_path().exists() else b'')
            tried.append(f'kill {attempt + 1}, {delay:.3f} s after the second '
                         f'copy began: {text}')
            inside_walk = inside_walk or inside
            if inside and 'torn' in text:
                return tried
        if inside_walk and inside:
            return tried
        self.fail('no kill landed inside the walk:\n' + '\n'.join(tried))

    def setUp(self):
        super().setUp()
        self.silent = False
        self.logs = self.patch_dir('logs')
        self.product = self.patch_dir('product')
        self.patch = self.patch_dir('patch')
        self.key = self.unique_key()
        self.reg_add(self.key, 'InstallDir', 'REG_SZ',
                     self.win_path(self.product))

    def start_again(self, token):
        self.tried = self.kill_during_copy()
        print('\n' + '\n'.join(self.tried), file=sys.stderr)
        self.assertTrue(list(self.patch.glob('qzvrn*')))
        return self.run_manager(token, cwd=self.patch, copy=False,
                                exe=self.patch / harness.PRODUCT,
                                timeout=180)

    def assertProduct(self, run, want):
        for i, name in enumerate(NAMES):
            got = (self.product / name).read_bytes()
            self.assertTrue(got == want(i), f'{name}: {len(got)} bytes, not '
                            f'the expected ones{run.describe()}')
        self.assertEqual(sorted(p.name for p in self.product.iterdir()),
                         sorted(NAMES), run.describe())
        self.assertEqual(list(self.patch.glob('qzvrn*')), [], run.describe())
        folders = [e for e in run.log_lines if e[0] == REMOVE_FOLDER]
        self.assertEqual(len(folders), 1, run.describe())
        self.assertEqual(folders[0][2], 'Succeeded', run.describe())
        restored = [e for e in run.log_lines if e[0] == RESTORE]
        self.assertTrue(restored, run.describe())
        self.assertTrue(all(e[2] == 'Succeeded' for e in restored),
                        run.describe())

    def test_not_needed_after_the_kill_leaves_the_old_files(self):
        run = self.start_again(WEB_TOKEN)
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertEqual(run.boxes, [MSG1_EN], run.describe())
        self.assertLogHas(run, ('QZVRN:Main', 'Update not required:',
                                'Java script returned false'))
        self.assertProduct(run, old)

    def test_the_update_after_the_kill_leaves_the_new_files(self):
        run = self.start_again('QZSU')
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertEqual(run.boxes, [], run.describe())
        self.assertLogHas(run, ('CVRNManager', 'DoUpdate', 'Ended'))
        self.assertProduct(run, new)

    def test_the_wrapper_killed_in_the_walk_then_started_again_updates(self):
        self.silent = True
        self.tried = self.kill_during_copy(deploy=True)
        print('\n' + '\n'.join(self.tried), file=sys.stderr)
        copies = [p for p in self.private_copies() if list(p.glob('qzvrn*'))]
        self.assertEqual(len(copies), 1, self.private_copies())
        shutil.rmtree(self.logs)
        run = self.run_program(self.patch / DEPLOY.name, f'/log {self.win_path(self.logs)}',
                               cwd=self.patch.parent, timeout=180)
        self.assertEqual(run.exit_code, 0, run.describe())
        report, = self.logs.glob('*.json')
        record = json.loads(report.read_text(encoding='utf-8'))
        self.assertEqual((record['outcome'], record['managerExitCode']), ('applied', 0), record)
        run.log_lines = harness.parse_log(report.with_suffix('.log').read_bytes())
        self.assertLogHas(run, ('CVRNManager', 'DoUpdate', 'Ended'))
        self.assertProduct(run, new)
        self.assertEqual(self.private_copies(), [])

    def product_digest(self):
        return {p.name: hashlib.sha256(p.read_bytes()).hexdigest()
                for p in self.product.iterdir()}

    def assertRefusedUntouched(self, run, why, before):
        """The record was refused whole: one entry says why, the run
        failed, no product file changed and the backup folder stays."""
        refused = [e for e in run.log_lines if e[0] == REFUSED]
        self.assertEqual(len(refused), 1, run.describe())
        self.assertIn(why, refused[0][1], run.describe())
        self.assertEqual(refused[0][2], 'Failed', run.describe())
        self.assertLogHas(run, ('QZVRN:Main', 'RecoverInterruptedRun:', 'Failed'))
        self.assertEqual(self.product_digest(), before, run.describe())
        folders = list(self.patch.glob('qzvrn*'))
        self.assertEqual(len(folders), 1, run.describe())
        self.assertTrue((folders[0] / 'QZVRN.journal').exists(), run.describe())

    def test_a_backup_copy_changed_after_the_kill_is_refused(self):
        self.tried = self.kill_during_copy()
        folder, = self.patch.glob('qzvrn*')
        (folder / NAMES[0]).write_bytes(b'not the original')
        before = self.product_digest()
        run = self.run_manager(WEB_TOKEN, cwd=self.patch, copy=False,
                               exe=self.patch / harness.PRODUCT, timeout=180)
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertEqual(run.boxes, [harness.MSG3_EN], run.describe())
        self.assertRefusedUntouched(run, 'not what was saved: ' + NAMES[0],
                                    before)

    def test_a_record_left_by_another_patch_is_refused(self):
        self.tried = self.kill_during_copy()
        # Another patch unpacked into the same folder, for another file.
        (self.patch / 'QZZother.dat').write_bytes(b'other')
        self.write_config(['QZZother.dat'])
        before = self.product_digest()
        run = self.run_manager('QZSU', cwd=self.patch, copy=False,
                               exe=self.patch / harness.PRODUCT, timeout=180)
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertRefusedUntouched(run, "not this patch's", before)
        self.assertFalse((self.product / 'QZZother.dat').exists())

    def test_a_second_manager_in_a_held_folder_ends_at_once(self):
        """The first run waits in its program entry; a second manager
        started in the same folder exits with -1 and leaves the first
        run's log and files alone; the first then ends with every file
        new and a whole log."""
        self.prepare()
        flag, held = self.patch_dir('outside') / 'holding.flag', None
        held = flag.parent / 'held.txt'
        held.write_bytes(b'x')
        shutil.copyfile(HOLDER, self.patch / 'qzholder.exe')
        self.write_config(NAMES, before=(
            '    <PATCH_DETAILS>\n      <INSTALLFILENAME>qzholder.exe'
            '</INSTALLFILENAME>\n      <EXECUTION_REQUIRED>TRUE'
            '</EXECUTION_REQUIRED>\n      <ARGUMENTS>'
            f'{self.win_path(held)} {self.win_path(flag)}</ARGUMENTS>\n'
            '    </PATCH_DETAILS>\n'))
        first = self.start_update()
        self.addCleanup(lambda: first.poll() is None and first.kill())
        deadline = time.monotonic() + 60 * harness.time_scale()
        while not flag.exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertTrue(flag.exists(), 'the first run did not reach its program')
        log_before = self.log_path.read_bytes()
        listing = sorted(p.name for p in self.patch.iterdir())

        second = self.run_program(self.patch / harness.PRODUCT, 'QZSU',
                                  cwd=self.patch)
        self.assertEqual(second.exit_code, -1, second.describe())
        self.assertEqual(self.log_path.read_bytes(), log_before)
        self.assertEqual(sorted(p.name for p in self.patch.iterdir()), listing)

        flag.unlink()
        first.wait(timeout=120 * harness.time_scale())
        self.assertEqual(first.returncode, 0)
        lines = harness.parse_log(self.log_path.read_bytes())
        self.assertEqual(lines[0], ('QZVRN', 'Main', 'Started'))
        self.assertIn(('CVRNManager', 'DoUpdate', 'Ended'), lines)
        self.assertEqual(lines[-1], ('CVRNManager', '~CVRNManager', 'Started'))
        self.assertEqual([e for e in lines if e[0] == REFUSED], [])
        for i, name in enumerate(NAMES):
            self.assertTrue((self.product / name).read_bytes() == new(i), name)


if __name__ == '__main__':
    unittest.main()
