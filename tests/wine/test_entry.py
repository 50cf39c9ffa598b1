"""End-to-end tests of the patch manager's entry: the launch token, the end
of a run without a configuration, the log's first and last lines and its
bytes. Message 3 per system language: test_entry_language.py; the
outcomes of a run: test_entry_outcomes.py; what they share: entry_case.py.

Run by hand: python3 tests/wine/test_entry.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from entry_case import (FIRST, LAST, MAIN_ENDED, NOT_A_TOKEN,  # noqa: E402
                        EntryTestCase, language_row, os_language)
from harness import WEB_TOKEN, log_line_bytes  # noqa: E402


class TokenTests(EntryTestCase):

    def test_unrecognised_token_forms(self):
        forms = {'other case': 'qzsu', 'trailing blank': 'QZSU ',
                 'extra argument': 'QZSU x', 'empty': '',
                 'web token in other case': WEB_TOKEN.lower(),
                 'QZU with a blank': 'QZU ',
                 '300 characters': 'QZSU' + 'x' * 296}
        for what, tail in forms.items():
            with self.subTest(what):
                run = self.run_manager(tail)
                self.assertEqual(run.exit_code, 0, run.describe())
                self.assertLogHas(run, NOT_A_TOKEN)
                self.assertOneBox(run)
                self.assertRunFrame(run)
                # The run ends at the token: no step after it starts.
                self.assertLogLacks(run, ('CVRNManager', 'IsSupportedOS',
                                          'Started'))

    def test_log_bytes_of_an_unrecognised_token_run(self):
        run = self.run_manager('qzsu')
        head = b''.join(log_line_bytes(*e) for e in [
            FIRST, NOT_A_TOKEN,
            ('CVRNManager', 'LoadMessage', 'Started'),
            os_language(9, 1),
            language_row(9, 1),
            ('CVRNManager', 'LoadMessage', 'Ended')])
        tail = log_line_bytes(*MAIN_ENDED) + log_line_bytes(*LAST)
        log = run.log_bytes
        self.assertIsNotNone(log, run.describe())
        self.assertEqual(log[:len(head)].hex(' '), head.hex(' '),
                         run.describe())
        self.assertEqual(log[-len(tail):].hex(' '), tail.hex(' '),
                         run.describe())
        # Text mode: every line feed is stored once as CR LF, nothing else.
        self.assertEqual(log.count(b'\n'), log.count(b'\r\n'))
        self.assertNotIn(b'\r\r', log)
        self.assertEqual(log.count(b'\r\n'), len(run.log_lines))

    def test_log_of_the_previous_run_is_replaced(self):
        self.run_manager('qzsu')
        run = self.run_manager('')
        self.assertEqual(run.log_lines.count(FIRST), 1, run.describe())
        self.assertEqual(run.log_lines.count(LAST), 1, run.describe())


class MissingConfigurationTests(EntryTestCase):
    """A recognised token in a folder without QZVRN.config: the reader
    throws, ParseVRNError reports it, exit -1."""

    def check_missing(self, tail):
        run = self.run_manager(tail)
        self.assertEqual(run.exit_code, -1, run.describe())
        self.assertRunFrame(run)
        self.assertLogLacks(run, NOT_A_TOKEN)
        self.assertInOrder(run, [
            FIRST,
            ('CVRNManager:ReadConfiguration', 'Unknown error: ', 'Failed'),
            ('QZVRN:Main', 'Exception:', 'failed'),
            ('CVRNManager', 'ParseVRNError', 'Started'),
            ('CVRNManager:ParseVRNError', 'Rule file: ', 'Not found'),
            ('CVRNManager', 'ParseVRNError', 'Ended'),
            LAST])
        self.assertLogLacks(run, MAIN_ENDED)
        self.assertLogLacks(run, ('CVRNManager', 'ReadConfiguration',
                                  'Ended'))
        # "Rule file: " keeps its blank: three blanks before the status.
        self.assertIn(b'CVRNManager:ParseVRNError  Rule file:   Not found\r\n',
                      run.log_bytes)
        # ParseVRNError shows its box even where ShowMessage stays silent.
        self.assertOneBox(run)
        return run

    def test_update_tool_mode_shows_message_3_and_exits_minus_1(self):
        for tail in ('QZSU', 'QZU'):
            with self.subTest(tail):
                self.check_missing(tail)

    def test_web_site_mode_shows_message_3_and_exits_minus_1(self):
        self.check_missing(WEB_TOKEN)


if __name__ == '__main__':
    unittest.main()
