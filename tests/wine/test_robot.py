"""Tests of the test bed itself: qzrobot.exe gives a program exactly the
command-line tail asked for, reads and answers its message boxes and the
restart dialog, and survives timeouts and a shutdown of the prefix. The
program under test is qzprobe.exe (tests/wine/tools/qzprobe.cpp).
"""

import shutil
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

BOX_TEXT = 'Hello\nw\u00f6rld \u65e5\u672c'


class RobotTests(harness.WineTestCase):

    def probe(self, tail, **kw):
        d = self.patch_dir()
        shutil.copyfile(harness.tool_exe('qzprobe'), d / 'qzprobe.exe')
        run = self.run_program(d / 'qzprobe.exe', tail, cwd=d, **kw)
        hexfile = d / 'cmdline.hex'
        seen = bytes.fromhex(hexfile.read_text()) if hexfile.exists() else None
        return run, seen

    def test_program_gets_the_exact_tail(self):
        # The GUI start-up code drops the blanks after the program name and
        # nothing else; the tail reaches WinMain in the ANSI code page.
        # MinGW's start-up code compares signed chars, so bytes from 0x80 up
        # at the start of the tail count as blanks and are dropped as well.
        for tail, want in (('QZSU', b'QZSU'), ('QZSU ', b'QZSU '), ('', b''),
                           ('QZSU x', b'QZSU x'), ('  QZU', b'QZU'),
                           ('x\u00fc"a b"', b'x\xfc"a b"'),
                           ('\u00fcQZSU', b'QZSU'),
                           ('Q' * 300, b'Q' * 300)):
            with self.subTest(tail=tail[:12]):
                run, seen = self.probe(tail)
                self.assertEqual(seen, want, run.describe())
                self.assertEqual(run.exit_code, -1, run.describe())
                self.assertEqual(run.boxes, [], run.describe())

    def test_boxes_are_read_and_answered_in_order(self):
        run, _ = self.probe('TWO')
        self.assertEqual(run.box_pids, [run.child_pid] * 2)
        self.assertEqual(run.box_records, [('QZ', BOX_TEXT, 'OK'),
                                           ('QZ', 'second', 'OK')])
        self.assertEqual(run.boxes, [BOX_TEXT, 'second'])
        self.assertEqual(run.presses, ['ok', 'ok'])
        self.assertEqual(run.exit_code, -1)

    def test_restart_dialog_buttons(self):
        for press, code in (('now', 1000), ('later', 1001), ('close', 2)):
            with self.subTest(press):
                run, _ = self.probe('DLG', press=press)
                self.assertEqual(run.dialogs, [
                    ('QZ', 'Restart now?', 'Restart Now', 'Restart Later')])
                self.assertEqual(run.exit_code, code, run.describe())

    def test_timeout_kills_the_program(self):
        run, _ = self.probe('HANG', timeout=1.5)
        self.assertTrue(run.timed_out, run.describe())
        self.assertIsNone(run.exit_code)
        # press none leaves the box open: the same end.
        run, _ = self.probe('BOX', press='none', timeout=1.5)
        self.assertTrue(run.timed_out, run.describe())
        self.assertEqual(run.boxes, [BOX_TEXT])

    def test_shutdown_ends_the_run_and_the_prefix_lives_on(self):
        run, _ = self.probe('BOX REBOOT')
        self.assertTrue(run.ended_by_shutdown, run.describe())
        self.assertEqual(run.boxes, [BOX_TEXT])
        run, _ = self.probe('BOX')
        self.assertEqual(run.exit_code, -1, run.describe())

    def test_windows_of_started_programs_with_any_process(self):
        run, _ = self.probe('SPAWN', any_process=True, timeout=20)
        self.assertEqual(run.exit_code, -1, run.describe())
        self.assertEqual(run.boxes, [BOX_TEXT])
        self.assertNotEqual(run.box_pids, [run.child_pid])
        # Without it only the started program's own windows are answered;
        # the timeout ends the program and the one it started.
        run, _ = self.probe('SPAWN', timeout=1.5)
        self.assertTrue(run.timed_out, run.describe())
        self.assertEqual(run.boxes, [])
        run, _ = self.probe('BOX', any_process=True)
        self.assertEqual(run.boxes, [BOX_TEXT], 'a box left over')

    def test_wait_all_waits_for_programs_left_running(self):
        run, _ = self.probe('DETACH', wait_all=True)
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertTrue((run.cwd / 'late.txt').exists())
        run, _ = self.probe('DETACH')
        self.assertFalse((run.cwd / 'late.txt').exists())

    def test_crash_ends_the_run_without_a_dialog(self):
        # The prefix has Wine's crash dialog switched off; otherwise a crash
        # would wait for a click until the timeout.
        run, _ = self.probe('CRASH', timeout=20)
        self.assertFalse(run.timed_out, run.describe())
        self.assertEqual(run.exit_code & 0xFFFFFFFF, 0xC0000005, run.describe())

    def test_log_parsing(self):
        data = (b'QZVRN  Main  Started\r\n'
                b'CVRNManager:ParseVRNError  Rule file:   Not found\r\n'
                b'Src    empty text\r\n'
                b'Src  empty status  \r\n'
                b'A  text  with  blanks  St\xe4tus\r\n')
        self.assertEqual(harness.parse_log(data), [
            ('QZVRN', 'Main', 'Started'),
            ('CVRNManager:ParseVRNError', 'Rule file: ', 'Not found'),
            ('Src', '', 'empty text'),
            ('Src', 'empty status', ''),
            ('A', 'text  with  blanks', 'St\xe4tus')])
        self.assertEqual(harness.log_line_bytes('A', 'b ', 'c'), b'A  b   c\r\n')


if __name__ == '__main__':
    unittest.main()
