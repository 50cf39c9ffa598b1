"""QZVRNCheck.exe under Wine: the sample patch checks clean, and for three
traps the warning is shown and the manager then does what it predicts.

Run by hand: python3 tests/wine/test_checker.py [-k pattern]
"""

import json
import shutil
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import WEB_TOKEN  # noqa: E402
from test_install_steps import (InstallStepsCase, conditions_xml,  # noqa: E402
                                names, patch_details)

CHECKER = harness.BIN / 'QZVRNCheck.exe'
MSG1_EN = ('This update does not support any of the QZ device\n drivers that '
           'you have on your PC. You do not need this software update.')


class CheckerTests(InstallStepsCase):

    def check(self, d):
        """Runs the checker with --json; returns (status, [(file name,
        line, code)], error stream)."""
        self.assertTrue(CHECKER.exists(), f'{CHECKER} is missing: make build')
        r = self.wine([self.win_path(CHECKER), '--json', self.win_path(d)],
                      timeout=120)
        found = [(Path(f['file'].replace('\\', '/')).name, f['line'], f['code'])
                 for f in json.loads(r.stdout)]
        return r.returncode, found, r.stderr

    def test_sample_patch_checks_clean_and_stays_untouched(self):
        d = self.patch_dir()
        shutil.copytree(harness.ROOT / 'samples' / 'demo-patch', d,
                        dirs_exist_ok=True)
        (d / 'QZZdemo.dll').write_bytes(b'MZ')
        before = names(d)
        status, found, err = self.check(d)
        self.assertEqual((status, found), (0, []), err)
        self.assertIn('JScript syntax check skipped', err)
        self.assertEqual(names(d), before)

    def test_undefined_condition_ref_applies_the_entry(self):
        folder, location = self.product()
        d = self.patch({'QZZa.txt': b'a'},
                       [patch_details('QZZa.txt', [location], 'Uknown')],
                       {'Unknown': 'return false;'})
        status, found, _ = self.check(d)
        self.assertEqual((status, found),
                         (1, [('QZVRN.config', 11, 'undefined-condition')]))
        self.run_patch(d)
        self.assertEqual(names(folder), ['QZZa.txt'])

    def test_silent_mode_1_shows_the_box_and_a_misspelt_os_is_dropped(self):
        d = self.patch({}, [])
        config = (d / 'QZVRN.config').read_text()
        config = config.replace('<SILENT_MODE>FALSE', '<SILENT_MODE>1')
        config = config.replace('Windows Vista (32bit)', 'Windows Vista(32bit)')
        config = config.replace('Windows Vista (64bit)', 'Windows Vista(64bit)')
        config = config.replace('    <OS>Windows XP (32bit)</OS>\n', '')
        (d / 'QZVRN.config').write_text(config)
        status, found, _ = self.check(d)
        self.assertEqual((status, found), (1, [
            ('QZVRN.config', 4, 'no-known-os'),
            ('QZVRN.config', 5, 'unknown-os'),
            ('QZVRN.config', 6, 'unknown-os'),
            ('QZVRN.config', 8, 'boolean-value')]))
        run = self.run_manager(WEB_TOKEN, cwd=d)
        self.assertEntry(run, 'CVRNManager:CheckOS',
                         'Check OS Failed. Not matched', 'Failed')
        self.assertEqual(run.boxes, [MSG1_EN], run.describe())


if __name__ == '__main__':
    unittest.main()
