"""End-to-end tests of the cleanup of the patch folder after the main job:
read-only patch files, and what the recursive mode keeps.

Run by hand: python3 tests/wine/test_patch_cleanup.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from install_case import (MOVED_PROGRAM, NEW, OLD,  # noqa: E402
                          InstallStepsCase, names, patch_details)


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
