"""End-to-end tests of the rule runner and the scripting-control check: the
first rule of a run on a machine without the control copies it under
Program Files and registers it there, so that the same rule already finds
it; later runs only look for it; the script host's exit code becomes the
rule's answer.

Run by hand: python3 tests/wine/test_script_runner.py [-k pattern]
"""

import shutil
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import WEB_TOKEN  # noqa: E402

CONTROL = harness.BIN / 'qzkdiag.dll'
PROG_ID_KEY = 'HKCR\\QZKelvaDiags.QZRegUtil'
VERSION_KEY = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion'

CHECK_STARTED = ('CVRNManager', 'CheckControl', 'Started')
COPIED = ('CVRNManager:CheckControl', 'qzkdiag.dll Copied:', 'Successfully')
NOT_BESIDE = ('CVRNManager:CheckControl', 'qzkdiag.dll:', 'not found')



def write_patch(folder, rule, silent=True, switches='', control=True):
    """A web-site patch folder whose main rule has the body `rule`."""
    (folder / 'QZVRN.config').write_text(
        harness.config_xml(silent=silent, switches=switches))
    (folder / 'rules.xml').write_text(harness.rules_xml(rule))
    if control:
        shutil.copyfile(CONTROL, folder / 'qzkdiag.dll')


def control_entries(run):
    """The entries of CheckControl and RegisterDll, in order."""
    return [line for line in run.log_lines
            if 'CheckControl' in line[0] or 'RegisterDll' in line[0]
            or line[1] in ('CheckControl', 'RegisterDll')]


def main_entries(run):
    return [line for line in run.log_lines if line[0] == 'QZVRN:Main']


class ScriptRunnerCase(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        if not CONTROL.exists():
            self.fail(f'{CONTROL} is missing: build it first (make build)')

    def program_files(self):
        """ProgramFilesDir as the 32-bit manager reads it."""
        value = self.reg_query(VERSION_KEY, 'ProgramFilesDir', view=32)
        self.assertTrue(value, 'no ProgramFilesDir in the prefix')
        return value

    def unregister_control(self):
        """The prefix is shared: other tests (and earlier runs) may have left
        the control registered. Its own unregistration removes every class,
        whichever copy registered it."""
        spare = self.patch_dir('unregister')
        shutil.copyfile(CONTROL, spare / 'qzkdiag.dll')
        self.wine(['regsvr32', '/s', '/u', self.win_path(spare / 'qzkdiag.dll')])
        r = self.wine(['reg', 'query', PROG_ID_KEY, '/reg:32'])
        self.assertNotEqual(r.returncode, 0, 'control still registered')


class ControlCheckTest(ScriptRunnerCase):

    def test_first_rule_copies_and_registers_the_control_later_ones_find_it(self):
        self.unregister_control()
        folder = self.unix_path(self.program_files()) / 'QZ' / 'temp' / 'VRNU'
        shutil.rmtree(folder, ignore_errors=True)
        target = self.program_files() + '\\QZ\\temp\\VRNU\\qzkdiag.dll'

        first = self.patch_dir()
        write_patch(first, 'return false;')
        run = self.run_manager(WEB_TOKEN, cwd=first)
        self.assertEqual(control_entries(run), [
            CHECK_STARTED, COPIED,
            ('CVRNManager', 'RegisterDll', 'Started'),
            ('CVRNManager:RegisterDll', target, ': Registered'),
            ('CVRNManager', 'RegisterDll', 'Ended'),
            ('CVRNManager', 'CheckControl', 'Ended')], run.describe())
        self.assertEqual((folder / 'qzkdiag.dll').read_bytes(),
                         CONTROL.read_bytes())
        # The header created all eighteen objects in the same run: the rule
        # answered false instead of stopping on a missing class.
        self.assertEqual(main_entries(run), [
            ('QZVRN:Main', 'Update not required:',
             'Java script returned false')], run.describe())
        r = self.wine(['reg', 'query', f'{PROG_ID_KEY}\\CLSID', '/reg:32'])
        self.assertEqual(r.returncode, 0, 'control not registered')

        second = self.patch_dir()
        write_patch(second, 'return false;')
        run = self.run_manager(WEB_TOKEN, cwd=second)
        self.assertEqual(control_entries(run), [CHECK_STARTED], run.describe())
        self.assertEqual(run.exit_code, 0)

    def test_a_control_whose_library_lies_beside_it_still_registers(self):
        # The manager keeps the system folder alone on its search path; the
        # library it registers still finds its own dependency beside it.
        self.unregister_control()
        folder = self.unix_path(self.program_files()) / 'QZ' / 'temp' / 'VRNU'
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, folder, True)
        shutil.copyfile(harness.TOOLS / 'qzregdep.dll', folder / 'qzregdep.dll')
        target = self.program_files() + '\\QZ\\temp\\VRNU\\qzkdiag.dll'
        d = self.patch_dir()
        write_patch(d, 'return false;', control=False)
        shutil.copyfile(harness.TOOLS / 'qzregpair.dll', d / 'qzkdiag.dll')
        run = self.run_manager(WEB_TOKEN, cwd=d)
        self.assertIn(('CVRNManager:RegisterDll', target, ': Registered'),
                      control_entries(run), run.describe())
        record = folder / 'qzkdiag.dll.registered'
        self.assertTrue(record.read_text().endswith('QZVRN.exe'), run.describe())

    def test_without_the_control_beside_the_manager_nothing_is_registered(self):
        self.unregister_control()
        d = self.patch_dir()
        write_patch(d, 'return true;', control=False)
        run = self.run_manager(WEB_TOKEN, cwd=d)
        self.assertEqual(control_entries(run), [CHECK_STARTED, NOT_BESIDE],
                         run.describe())
        r = self.wine(['reg', 'query', PROG_ID_KEY, '/reg:32'])
        self.assertNotEqual(r.returncode, 0, 'control registered anyway')
        # The header cannot create its objects: the script stops. Wine's host
        # then exits 0 (Windows' would not), so the rule reads as false.
        self.assertNotIn(('QZVRN:Main', 'DoUpdate:Update completed '
                          'successfully.', 'Success'), run.log_lines)


class RuleAnswerTest(ScriptRunnerCase):
    """The host's exit code as the rule's answer, seen in the main rule."""

    def answer(self, rule):
        d = self.patch_dir()
        write_patch(d, rule)
        run = self.run_manager(WEB_TOKEN, cwd=d)
        self.assertEqual(run.exit_code, 0, run.describe())
        entries = [line for line in run.log_lines
                   if line[1] == 'CallJScript'
                   or line[0] == 'CVRNManager:CallJScript']
        self.assertEqual(entries, [('CVRNManager', 'CallJScript', 'Started'),
                                   ('CVRNManager', 'CallJScript', 'Ended')],
                         run.describe())
        return main_entries(run)

    def test_true_false_and_no_answer(self):
        self.assertEqual(self.answer('return true;'), [
            ('QZVRN:Main', 'DoUpdate:Update completed successfully.',
             'Success')])
        self.assertEqual(self.answer('return false;'), [
            ('QZVRN:Main', 'Update not required:',
             'Java script returned false')])
        for code in (1, 3, 259, -2):
            self.assertEqual(self.answer(f'WScript.quit({code}); return true;'),
                             [('QZVRN:Main', 'JavaScript Error:', 'Failed')],
                             f'exit code {code}')


if __name__ == '__main__':
    unittest.main()
