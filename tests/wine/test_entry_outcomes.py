"""End-to-end tests of the patch manager's entry: which entry under
"QZVRN:Main" and which message each outcome of a run produces, in both
launch modes.

Run by hand: python3 tests/wine/test_entry_outcomes.py [-k pattern]
"""

import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from entry_case import MAIN_ENDED, EntryTestCase  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN  # noqa: E402


MSG1_RE = re.compile(r'This update does not support any of the QZ device\r?\n'
                     r' drivers that you have on your PC\. You do not need '
                     r'this software update\.')
MSG5_EN = 'Update completed successfully.'


# A header without the diagnostics control: the rules here need none of its
# objects, and the runs leave no registration behind.
HEADER = '// entry tests: no diagnostics objects\nfunction R1()\n{'
# A rule that is true on its first run in a folder and false afterwards:
# the update "worked" when the final rule runs.
FLIP_RULE = (
    'var fso = new ActiveXObject("Scripting.FileSystemObject");\n'
    'if (fso.FileExists("rule-ran.txt")) return false;\n'
    'fso.CreateTextFile("rule-ran.txt").Close();\n'
    'return true;\n')


def config_xml(switches=None, updates=''):
    body = ''.join(f'  <{k}>{v}</{k}>\n' for k, v in (switches or {}).items())
    if updates:
        body += f'  <UPDATES>\n{updates}  </UPDATES>\n'
    return ('<?xml version="1.0"?>\n<QZVRN_PARAMETERS>\n'
            '  <FILENAME>rules.xml</FILENAME>\n' + body +
            f'  <JSCRIPTCODE><HEADER>{HEADER}</HEADER></JSCRIPTCODE>\n'
            '</QZVRN_PARAMETERS>\n')


class OutcomeTests(EntryTestCase):
    """One entry under "QZVRN:Main" and at most one message per outcome;
    update-tool mode shows none of the entry's messages."""

    def run_patch(self, token, rule='return true;', switches=None,
                  updates=''):
        d = self.patch_dir()
        (d / 'QZVRN.config').write_text(config_xml(switches, updates))
        (d / 'rules.xml').write_text(harness.rules_xml(rule))
        run = self.run_manager(token, cwd=d)
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertRunFrame(run)
        self.assertLogHas(run, MAIN_ENDED)
        self.assertEqual(run.dialogs, [], run.describe())
        return run

    def requireStep(self, run, method):
        """Skips while a step the outcome depends on is not built yet (its
        placeholder writes no Started entry); checks it once it is."""
        if ('CVRNManager', method, 'Started') not in run.log_lines:
            self.skipTest(f'{method} is not built yet')

    def assertMain(self, run, text, status, boxes):
        mains = [e for e in run.log_lines if e[0] == 'QZVRN:Main']
        self.assertEqual(mains, [('QZVRN:Main', text, status)], run.describe())
        self.assertEqual(len(run.boxes), len(boxes), run.describe())
        for seen, want in zip(run.boxes, boxes):
            if isinstance(want, re.Pattern):
                self.assertRegex(seen, want)
            else:
                self.assertEqual(seen, want)

    def test_install_path_not_found(self):
        updates = ('    <PATCH_DETAILS>\n'
                   '      <INSTALLFILENAME>QZZa.dll</INSTALLFILENAME>\n'
                   '      <REGKEYS><INSTALLPATH_REGKEY k="SOFTWARE\\QZTests\\'
                   'absent" v="InstallDir" p=""/></REGKEYS>\n'
                   '    </PATCH_DETAILS>\n')
        for token, boxes in (('QZSU', []), (WEB_TOKEN, [MSG1_RE])):
            with self.subTest(token):
                run = self.run_patch(token, updates=updates)
                self.requireStep(run, 'LocateAndVerifyInstallPath')
                self.assertMain(run, 'LocateAndVerifyInstallPath:', 'Failed',
                                boxes)
                # The message is loaded even where it is not shown.
                self.assertLogHas(run, ('CVRNManager', 'LoadMessage',
                                        'Started'))

    def test_patch_file_missing(self):
        # A program entry needs no install path but its file all the same.
        updates = ('    <PATCH_DETAILS>\n'
                   '      <INSTALLFILENAME>QZZmissing.exe</INSTALLFILENAME>\n'
                   '      <EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>\n'
                   '      <ARGUMENTS>NULL</ARGUMENTS>\n'
                   '    </PATCH_DETAILS>\n')
        for token, boxes in (('QZSU', []), (WEB_TOKEN, [MSG3_EN])):
            with self.subTest(token):
                run = self.run_patch(token, updates=updates)
                self.requireStep(run, 'VerifySourceFilesPath')
                self.assertMain(run, 'VerifySourceFilesPath:', 'Failed', boxes)

    def test_update_tool_mode_runs_no_rule_and_reports_nothing(self):
        run = self.run_patch('QZSU', rule=FLIP_RULE)
        self.assertEqual([e for e in run.log_lines if e[0] == 'QZVRN:Main'],
                         [], run.describe())
        self.assertEqual(run.boxes, [], run.describe())
        self.assertLogLacks(run, ('CVRNManager', 'CallJScript', 'Started'))
        self.requireStep(run, 'DoUpdate')
        self.assertLogHas(run, ('CVRNManager', 'DoUpdate', 'Started'))
        self.assertLogLacks(run, ('CVRNManager', 'CallJScript', 'Started'))
        self.assertFalse((run.cwd / 'rule-ran.txt').exists())

    def test_success_message_follows_its_switch(self):
        for value, boxes in ((None, [MSG5_EN]), ('true', [MSG5_EN]),
                             ('FALSE', []), ('1', [])):
            with self.subTest(SHOWFINAL_SUCCESSMSG=value):
                switches = {} if value is None else {
                    'SHOWFINAL_SUCCESSMSG': value}
                run = self.run_patch(WEB_TOKEN, switches=switches)
                self.assertMain(run, 'DoUpdate:Update completed successfully.',
                                'Success', boxes)

    def test_final_success_message_follows_its_own_switch(self):
        # With the final rule, RULEFINAL_SUCCESSMSG decides, not
        # SHOWFINAL_SUCCESSMSG. (The final rule's other outcomes are in
        # test_web_site_mode.)
        for switches, boxes in (
                ({'RULEFINAL_SUCCESSMSG': 'FALSE'}, []),
                ({'RULEFINAL_SUCCESSMSG': 'TRUE',
                  'SHOWFINAL_SUCCESSMSG': 'FALSE'}, [MSG5_EN])):
            with self.subTest(**switches):
                run = self.run_patch(WEB_TOKEN, rule=FLIP_RULE, switches=dict(
                    {'RUNFINAL_RULE': 'TRUE'}, **switches))
                self.assertMain(run, 'DoUpdate:Update completed successfully.',
                                'Success', boxes)
                self.assertEqual(run.log_lines.count(
                    ('CVRNManager', 'CallJScript', 'Started')), 2,
                    run.describe())

    def test_silent_mode_shows_nothing(self):
        for rule, text, status in (
                ('return false;', 'Update not required:',
                 'Java script returned false'),
                ('return true;', 'DoUpdate:Update completed successfully.',
                 'Success')):
            with self.subTest(rule):
                run = self.run_patch(WEB_TOKEN, rule=rule,
                                     switches={'SILENT_MODE': 'True'})
                self.assertMain(run, text, status, [])


if __name__ == '__main__':
    unittest.main()
