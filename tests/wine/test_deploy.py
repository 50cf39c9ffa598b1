"""End-to-end tests of QZVRNDeploy.exe, the wrapper that management tools
start: the real manager on a real patch, one test per exit code a console
sees, each with the log copy and the JSON line in the /log folder.

Run by hand: python3 tests/wine/test_deploy.py [-k pattern]
"""

import json
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
        # The copy is the run's own log, whole.
        self.assertEqual(log, self.log_path.read_bytes())
        self.assertEqual(self.win_path(self.logs / f'{next(iter(self.reports()))}.log'),
                         record['log'])
        return record, harness.parse_log(log)

    def test_applied_update_exits_0(self):
        d, marker = self.marker_patch()
        record, log = self.assertReport(self.deploy(d), 0, 'applied')
        self.assertTrue(marker.exists())
        self.assertIn(('CVRNManager', 'DoUpdate', 'Ended'), log)
        self.assertFalse((d / 'QZVRN_Returncode.txt').exists())

    def test_restart_left_pending_exits_3010(self):
        d, marker = self.marker_patch(reboot_flag='1')
        _, log = self.assertReport(self.deploy(d), 3010, 'applied', 'pending')
        self.assertIn(('CVRNManager::SystemShutdown', 'Info', 'Restart Later'), log)
        self.assertEqual((d / 'QZVRN_Returncode.txt').read_bytes(), b'2')

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
        # The patch file itself is missing from the folder.
        _, log = self.assertReport(self.deploy(d), 1603, 'failed',
                                   step='VerifySourceFilesPath')
        self.assertIn(('QZVRN:Main', 'VerifySourceFilesPath:', 'Failed'), log)
        self.assertEqual((product / 'QZZfile.ini').read_bytes(), b'old')

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
        # The copy is the log of the run that holds the folder, so far.
        self.assertIn(('CVRNManager', 'RunProcess', 'Started'), harness.parse_log(log))

        flag.unlink()
        first.wait(timeout=120 * harness.time_scale())
        self.assertIn(('CVRNManager', 'DoUpdate', 'Ended'),
                      harness.parse_log(self.log_path.read_bytes()))
        if first_args[0] == DEPLOY.name:
            records = [r for r, _ in self.reports().values()]
            self.assertEqual(sorted((r['outcome'], r['exitCode']) for r in records),
                             [('applied', 0), ('busy', 1618)], records)

if __name__ == '__main__':
    unittest.main()
