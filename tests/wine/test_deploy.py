"""End-to-end tests of QZVRNDeploy.exe, the wrapper that management tools
start: the real manager on a real patch, one test per exit code a console
sees, each with the log copy and the JSON line in the /log folder. The
manager runs on the wrapper's private copy; the folder it was started from
stays as it was, and nothing of the copy is left after a whole run.

Run by hand: python3 tests/wine/test_deploy.py [-k pattern]
"""

import json
import re
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

DEPLOY = harness.BIN / 'QZVRNDeploy.exe'
HOLDER = harness.TOOLS / 'qzholder.exe'


def program_entry(name, arguments):
    return (f'    <PATCH_DETAILS>\n      <INSTALLFILENAME>{name}</INSTALLFILENAME>\n'
            '      <EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>\n'
            f'      <ARGUMENTS>{arguments}</ARGUMENTS>\n    </PATCH_DETAILS>\n')


class DeployTest(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        for p in (DEPLOY, HOLDER, harness.BIN / harness.PRODUCT):
            if not p.exists():
                self.fail(f'{p} is missing: build it first (make build)')
        self.logs = self.patch_dir('deploy-logs') / 'fleet'  # made by the run
        self.outside = self.patch_dir('deploy-outside')
        system = self.prefix / 'drive_c' / 'windows'
        self.cmd = next(p for p in (system / 'syswow64' / 'cmd.exe',
                                    system / 'system32' / 'cmd.exe') if p.exists())
        for p in self.private_copies():
            shutil.rmtree(p, ignore_errors=True)

    def patch(self, updates, reboot_flag='0', config=None):
        d = self.patch_dir()
        (d / 'QZVRN.config').write_text(
            config or harness.config_xml(silent=True, updates=updates))
        (d / 'rules.xml').write_text(harness.rules_xml('return true;', reboot_flag))
        for exe in (harness.BIN / harness.PRODUCT, DEPLOY):
            shutil.copyfile(exe, d / exe.name)
        return d

    def marker_patch(self, reboot_flag='0'):
        """A patch whose one program leaves a marker outside the folder."""
        marker = self.outside / 'updated.txt'
        d = self.patch(program_entry(
            'cmd.exe', f'/c echo updated&gt;"{self.win_path(marker)}"'), reboot_flag)
        shutil.copyfile(self.cmd, d / 'cmd.exe')
        return d, marker

    def deploy(self, folder):
        run = self.run_program(folder / DEPLOY.name,
                               f'/log {self.win_path(self.logs)}', cwd=self.outside,
                               timeout=120)
        self.assertFalse(run.timed_out, run.describe())
        return run

    def reports(self):
        """{stem: (JSON record, log bytes or None)} of the log folder."""
        out = {}
        for j in sorted(self.logs.glob('QZZqzvrn_*.json')):
            lines = j.read_text(encoding='utf-8').splitlines()
            self.assertEqual(len(lines), 1, lines)
            log = j.with_suffix('.log')
            out[j.stem] = (json.loads(lines[0]),
                           log.read_bytes() if log.exists() else None)
        return out

    def assertReport(self, run, code, outcome, restart='none', step=None):
        self.assertEqual(run.exit_code, code, run.describe())
        (record, log), = self.reports().values()
        self.assertEqual((record['exitCode'], record['outcome'], record['restart'],
                          record['failedStep']), (code, outcome, restart, step), record)
        self.assertEqual(record['managerExitCode'], 0, record)
        # The build that ran, as its version record has it.
        version = re.escape((harness.ROOT / 'VERSION').read_text().strip())
        self.assertRegex(record['managerVersion'], rf'^{version}\.\d+$', record)
        # The copy is the run's own log, whole; the copy it ran on is gone.
        lines = harness.parse_log(log)
        self.assertEqual((lines[0], lines[-1]), (('QZVRN', 'Main', 'Started'),
                                                 ('CVRNManager', '~CVRNManager', 'Started')))
        self.assertEqual(self.win_path(self.logs / f'{next(iter(self.reports()))}.log'),
                         record['log'])
        self.assertEqual(self.private_copies(), [])
        return record, lines

    @staticmethod
    def tree(folder):
        return {p.relative_to(folder): p.read_bytes() if p.is_file() else None
                for p in folder.rglob('*')}

    def test_applied_update_exits_0_from_the_same_folder_each_time(self):
        d, marker = self.marker_patch()
        before = self.tree(d)
        for run in (1, 2):
            with self.subTest(run=run):
                shutil.rmtree(self.logs, ignore_errors=True)
                marker.unlink(missing_ok=True)
                _, log = self.assertReport(self.deploy(d), 0, 'applied')
                self.assertTrue(marker.exists())
                self.assertIn(('CVRNManager', 'DoUpdate', 'Ended'), log)
                self.assertEqual(self.tree(d), before)

    def test_restart_left_pending_exits_3010(self):
        d, marker = self.marker_patch(reboot_flag='1')
        _, log = self.assertReport(self.deploy(d), 3010, 'applied', 'pending')
        self.assertIn(('CVRNManager::SystemShutdown', 'Info', 'Restart Later'), log)
        # The return-code file stays in the private copy, gone with it.
        self.assertFalse((d / 'QZVRN_Returncode.txt').exists())

    def test_failed_step_exits_1603(self):
        product = self.patch_dir('deploy-product')
        (product / 'QZZfile.ini').write_bytes(b'old')
        key = self.unique_key()
        self.reg_add(key, 'InstallDir', 'REG_SZ', self.win_path(product))
        d = self.patch(
            '    <PATCH_DETAILS>\n      <INSTALLFILENAME>QZZfile.ini</INSTALLFILENAME>\n'
            '      <REGKEYS>\n        <INSTALLPATH_REGKEY Key="'
            f'{key.split(chr(92), 1)[1]}" Value="InstallDir" Path=""/>\n'
            '      </REGKEYS>\n    </PATCH_DETAILS>\n')
        # A successful log planted where the manager used to write its own,
        # held open by another process: readable, not writable.
        planted = (b'QZVRN  Main  Started\r\nCVRNManager  DoUpdate  Started\r\n'
                   b'CVRNManager  DoUpdate  Ended\r\nQZVRN  Main  Ended\r\n'
                   b'CVRNManager  ~CVRNManager  Started\r\n')
        self.log_path.write_bytes(planted)
        flag = self.outside / 'planted.flag'
        holder = subprocess.Popen(
            ['wine', self.win_path(HOLDER), self.win_path(self.log_path),
             self.win_path(flag), 'read'],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: holder.poll() is None and holder.kill())
        deadline = time.monotonic() + 60 * harness.time_scale()
        while not flag.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(flag.read_bytes(), b'held')
        # The patch file itself is missing from the folder.
        _, log = self.assertReport(self.deploy(d), 1603, 'failed',
                                   step='VerifySourceFilesPath')
        self.assertIn(('QZVRN:Main', 'VerifySourceFilesPath:', 'Failed'), log)
        self.assertEqual((product / 'QZZfile.ini').read_bytes(), b'old')
        flag.unlink()
        holder.wait(timeout=60)
        self.assertEqual(self.log_path.read_bytes(), planted)

    def test_os_not_listed_exits_0_as_not_needed(self):
        config = harness.config_xml(silent=True).replace(
            '    <OS>Windows XP (32bit)</OS>\n    <OS>Windows Vista (32bit)</OS>\n'
            '    <OS>Windows Vista (64bit)</OS>\n', '    <OS>Windows 2000</OS>\n')
        self.assertIn('Windows 2000', config)
        record, log = self.assertReport(self.deploy(self.patch('', config=config)), 0,
                                        'not-needed')
        self.assertIn(('QZVRN:Main', 'CheckOS:', 'Failed'), log)
        self.assertIn('CheckOS', record['detail'])

    def test_second_run_while_the_first_runs_exits_1618(self):
        # The first run started by a management tool, or by the update tool
        # that starts the manager itself.
        for first_args, holder in (
                ([DEPLOY.name, '/log', self.win_path(self.logs)], 'QZVRNDeploy.exe'),
                ([harness.PRODUCT, 'QZSU'], 'QZVRN.exe of this patch folder')):
            with self.subTest(first=first_args[0]):
                shutil.rmtree(self.logs, ignore_errors=True)
                self.second_run_while_held(first_args, holder)

    def second_run_while_held(self, first_args, holder):
        flag = self.outside / 'holding.flag'
        held = self.outside / 'held.txt'
        held.write_bytes(b'x')
        d = self.patch(program_entry(
            'qzholder.exe', f'{self.win_path(held)} {self.win_path(flag)}'))
        shutil.copyfile(HOLDER, d / 'qzholder.exe')
        first = subprocess.Popen(
            ['wine', self.win_path(d / first_args[0])] + first_args[1:],
            cwd=d, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: first.poll() is None and first.kill())
        deadline = time.monotonic() + 60 * harness.time_scale()
        while not flag.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(flag.exists(), 'the first run did not reach its program')

        second = self.deploy(d)
        self.assertEqual(second.exit_code, 1618, second.describe())
        (busy, log), = self.reports().values()
        self.assertEqual((busy['outcome'], busy['exitCode'], busy['managerExitCode']),
                         ('busy', 1618, None), busy)
        self.assertIn(holder, busy['detail'])
        # A run that never started has no log of its own to keep.
        self.assertIsNone(log)

        flag.unlink()
        first.wait(timeout=120 * harness.time_scale())
        if first_args[0] == DEPLOY.name:
            records = {r['outcome']: (r['exitCode'], log)
                       for r, log in self.reports().values()}
            self.assertEqual(sorted(records), ['applied', 'busy'], records)
            self.assertIn(('CVRNManager', 'DoUpdate', 'Ended'),
                          harness.parse_log(records['applied'][1]))
        else:
            self.assertIn(('CVRNManager', 'DoUpdate', 'Ended'),
                          harness.parse_log(self.log_path.read_bytes()))

if __name__ == '__main__':
    unittest.main()
