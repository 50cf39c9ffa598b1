"""End-to-end tests of web-site mode ("QZWEB"): the main rule decides
whether the update runs, the final rule whether it took, and the user sees
one box that says so (read by the UI robot).

Wine's script host exits 0 when a script stops on an error, so a rule
without an answer is made here by quitting with another code; the mapping
of real script errors is proved against the fakes (web_site_mode_test).

Run by hand: python3 tests/wine/test_web_site_mode.py [-k pattern]
"""

import shutil
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN  # noqa: E402

CONTROL = harness.BIN / 'qzkdiag.dll'
MSG1_EN = ('This update does not support any of the QZ device\n drivers that '
           'you have on your PC. You do not need this software update.')
MSG5_EN = 'Update completed successfully.'

NOT_NEEDED = ('QZVRN:Main', 'Update not required:', 'Java script returned false')
NO_ANSWER = ('QZVRN:Main', 'JavaScript Error:', 'Failed')
SUCCESS = ('QZVRN:Main', 'DoUpdate:Update completed successfully.', 'Success')
FINAL_FAILED = ('QZVRN:Main', 'DoUpdate:Update failed while running the '
                'Final Rule again.', 'Failed')
RULE_ENDED = ('CVRNManager', 'CallJScript', 'Ended')
# The update: the system's command interpreter leaves a marker file.
UPDATE = '''    <PATCH_DETAILS>
      <INSTALLFILENAME>cmd.exe</INSTALLFILENAME>
      <EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>
      <ARGUMENTS>/c echo updated&gt;"{marker}"</ARGUMENTS>
    </PATCH_DETAILS>
'''

# True the first time it runs, false after: the rule leaves its own marker
# beside the update's, so the final rule's answer does not depend on what
# the update installs.
TRUE_ONCE = '''
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  var seen = {marker} + ".rule";
  if (fso.FileExists(seen)) return false;
  fso.CreateTextFile(seen).Close();
  return true;
'''


def js_str(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


class WebSiteModeTest(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        for p in (CONTROL, harness.BIN / harness.PRODUCT):
            if not p.exists():
                self.fail(f'{p} is missing: build it first (make build)')
        # The update's visible effect lies outside the patch folder, which
        # the run's cleanup empties.
        self.marker = self.patch_dir('web-site-marker') / 'updated.txt'
        system = self.prefix / 'drive_c' / 'windows'
        self.cmd = (system / 'syswow64' / 'cmd.exe'
                    if (system / 'syswow64' / 'cmd.exe').exists()
                    else system / 'system32' / 'cmd.exe')

    def run_web(self, body, switches=''):
        d = self.patch_dir()
        marker = self.win_path(self.marker)
        (d / 'QZVRN.config').write_text(harness.config_xml(
            updates=UPDATE.format(marker=marker), switches=switches))
        (d / 'rules.xml').write_text(harness.rules_xml(
            body.replace('{marker}', js_str(marker))))
        shutil.copyfile(CONTROL, d / 'qzkdiag.dll')
        # The patch program: the system's own command interpreter.
        shutil.copyfile(self.cmd, d / 'cmd.exe')
        run = self.run_manager(WEB_TOKEN, cwd=d)
        self.assertEqual(run.exit_code, 0, run.describe())
        return run

    def main_entries(self, run):
        return [line for line in run.log_lines if line[0] == 'QZVRN:Main']

    def assertUpdated(self, run, updated):
        """Whether the program entry ran. Only the update step itself runs
        it; while that step is still a placeholder there is nothing to see."""
        if updated and ('CVRNManager', 'DoUpdate', 'Started') not in run.log_lines:
            self.skipTest('the update step (DoUpdate) is not built yet')
        self.assertEqual(self.marker.exists(), updated, run.describe())

    def test_main_rule_true_runs_the_update(self):
        run = self.run_web('return true;')
        self.assertEqual(self.main_entries(run), [SUCCESS], run.describe())
        self.assertEqual(run.boxes, [MSG5_EN], run.describe())
        self.assertUpdated(run, True)

    def test_a_program_removed_by_an_earlier_one_is_skipped(self):
        # The first program deletes the second, which it made unnecessary:
        # the second entry is only skipped and the update succeeds, and a
        # restart asked for is still offered.
        later_on = ('CVRNManager::SystemShutdown', 'Info', 'Restart Later')
        for reboot_flag, boxes, dialogs, end in (('0', [MSG5_EN], 0, SUCCESS),
                                                 ('1', [], 1, later_on)):
            with self.subTest(reboot_flag=reboot_flag):
                d = self.patch_dir()
                marker = self.win_path(self.marker)
                remove = UPDATE.replace('&gt;"{marker}"', '').replace(
                    'echo updated', f'del "{self.win_path(d / "later.exe")}"')
                later = UPDATE.replace('cmd.exe', 'later.exe')
                (d / 'QZVRN.config').write_text(harness.config_xml(
                    updates=remove + later.format(marker=marker)))
                (d / 'rules.xml').write_text(
                    harness.rules_xml('return true;', reboot_flag))
                shutil.copyfile(CONTROL, d / 'qzkdiag.dll')
                shutil.copyfile(self.cmd, d / 'cmd.exe')
                shutil.copyfile(self.cmd, d / 'later.exe')
                run = self.run_manager(WEB_TOKEN, cwd=d, press='later')
                self.assertFalse(self.marker.exists(), run.describe())
                self.assertEqual(run.boxes, boxes, run.describe())
                self.assertEqual(len(run.dialogs), dialogs, run.describe())
                self.assertInOrder(run, [
                    ('CVRNManager:DoUpdate', 'Execution_Required=TRUE, '
                     'File Not Found', 'Failed to Load'),
                    ('CVRNManager', 'DoUpdate', 'Ended'), end])

    def test_main_rule_false_gives_message_1(self):
        run = self.run_web('return false;')
        self.assertEqual(self.main_entries(run), [NOT_NEEDED], run.describe())
        self.assertEqual(run.boxes, [MSG1_EN], run.describe())
        self.assertUpdated(run, False)

    def test_main_rule_without_an_answer_gives_message_3(self):
        run = self.run_web('WScript.quit(3);\n  return true;')
        self.assertEqual(self.main_entries(run), [NO_ANSWER], run.describe())
        self.assertEqual(run.boxes, [MSG3_EN], run.describe())
        self.assertUpdated(run, False)

    def test_final_rule_that_no_longer_finds_the_update_needed(self):
        run = self.run_web(TRUE_ONCE, '  <RUNFINAL_RULE>TRUE</RUNFINAL_RULE>\n')
        self.assertEqual(run.log_lines.count(RULE_ENDED), 2, run.describe())
        self.assertEqual(self.main_entries(run), [SUCCESS], run.describe())
        self.assertEqual(run.boxes, [MSG5_EN], run.describe())

    def test_final_rule_that_still_finds_the_update_needed(self):
        # Quiet by default, message 3 when RULEFINAL_FAILEDMSG asks for it.
        for failed_msg, boxes in (('', []),
                                  ('  <RULEFINAL_FAILEDMSG>TRUE'
                                   '</RULEFINAL_FAILEDMSG>\n', [MSG3_EN])):
            run = self.run_web('return true;',
                               '  <RUNFINAL_RULE>TRUE</RUNFINAL_RULE>\n' +
                               failed_msg)
            self.assertEqual(run.log_lines.count(RULE_ENDED), 2, run.describe())
            self.assertEqual(self.main_entries(run), [FINAL_FAILED],
                             run.describe())
            self.assertEqual(run.boxes, boxes, run.describe())


if __name__ == '__main__':
    unittest.main()
