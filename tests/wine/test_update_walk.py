"""End-to-end tests of the main job's update walk: its sub-conditions,
conditions that cannot be asked, a configuration with a document type,
and program entries run at their place.

Run by hand: python3 tests/wine/test_update_walk.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from install_case import (MAIN, NEW, OLD, REGISTRATION,  # noqa: E402
                          SUBCONDITION, UPDATE_ENDED, InstallStepsCase,
                          names, patch_details)


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


if __name__ == '__main__':
    unittest.main()
