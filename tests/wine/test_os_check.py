"""End-to-end tests of the OS checks: IsSupportedOS and CheckOS against the
Windows version that the Wine prefix reports, switched per test, in the
64-bit prefix (every 32-bit process runs under WOW64) and in the 32-bit
prefix (no WOW64). Each run reads a configuration with the OSVERSION list
under test and a rule file that says true, and asserts the exact entries of
the two checks and their probes, and message 1 on a refusal.

What Wine 8 reports, measured with a probe (major.minor, product type,
platform; the same in both prefixes):
  win2k 5.0 1 NT, winxp 5.1 1 NT, winxp64 5.2 1 NT, win2003 5.2 3 NT,
  vista 6.0 1 NT, win7 6.1 3 NT (the prefix default, with no Version
  value, reports product type 1), win10 6.2 1 NT (no manifest), win98
  4.10 0 platform 1. Both record sizes are accepted at every version.
  kernel32 exports IsWow64Process and GetLocaleInfoEx at every version,
  so under Wine every system counts as Vista or later for QZIsVistaOS and
  win2k/win98 in the 64-bit prefix run under WOW64. The "Not a Vista OS"
  path is covered by the unit tests.

Run by hand: python3 tests/wine/test_os_check.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import WEB_TOKEN  # noqa: E402

MSG1_EN = ('This update does not support any of the QZ device\n drivers that '
           'you have on your PC. You do not need this software update.')

XP32 = 'Windows XP (32bit)'
XP64 = 'Windows XP (64bit)'
S2003_32 = 'Windows Server 2003 (32bit)'
S2003_64 = 'Windows Server 2003 (64bit)'
VISTA32 = 'Windows Vista (32bit)'
VISTA64 = 'Windows Vista (64bit)'

SUPPORTS = {
    'Windows 2000': 'Supports Windows 2000 OS in config',
    XP32: 'Supports Windows XP 32 Bit OS in config',
    XP64: 'Supports Windows XP 64 Bit OS in config',
    S2003_32: 'Supports Windows Server 2003 32 Bit OS in config',
    S2003_64: 'Supports Windows Server 2003 64 Bit OS in config',
    VISTA32: 'Supports Windows Vista 32 Bit OS in config',
    VISTA64: 'Supports Windows Vista 64 Bit OS in config',
}

SUPPORTED_OS = [('CVRNManager', 'IsSupportedOS', 'Started'),
                ('CVRNManager', 'IsSupportedOS', 'Ended')]
CHECK = 'CVRNManager:CheckOS'
WOW64_FOUND = ('CVRNManager:QZIsWow64Process', 'Running under Wow64Process',
               'Info')
VISTA_FOUND = ('CVRNManager:QZIsVistaOS', 'This OS is greater than or equal '
               'to Vista OS. GetLocaleInfoEx found', 'Info')
NOT_MATCHED = (CHECK, 'Check OS Failed. Not matched', 'Failed')
CHECK_FAILED = ('QZVRN:Main', 'CheckOS:', 'Failed')
OS_REFUSED = ('QZVRN:Main', 'OS Not Supported:', 'Failed')

CONFIG = '''<?xml version="1.0"?>
<QZVRN_PARAMETERS>
  <FILENAME>rules.xml</FILENAME>
  <OSVERSION>
{os}  </OSVERSION>
</QZVRN_PARAMETERS>
'''
RULES = '''<WebUpdate>
  <rebootFlag>0</rebootFlag>
  <matches>
    <match>
      <matchString>return true;</matchString>
    </match>
  </matches>
</WebUpdate>
'''


def updated(text):
    return (CHECK, f'This patch is updated for {text}', 'Info')


def os_entries(run):
    """The entries of IsSupportedOS, CheckOS and the two probes, in order."""
    return [line for line in run.log_lines
            if line[0] in (CHECK, 'CVRNManager:IsSupportedOS',
                           WOW64_FOUND[0], VISTA_FOUND[0])
            or (line[0] == 'CVRNManager'
                and line[1] in ('IsSupportedOS', 'CheckOS'))]


class OsCheckCase(harness.WineTestCase):
    """Runs under one prefix; `wow64` is what IsWow64Process says there."""
    wow64 = True

    def run_check(self, version, os_list, token='QZSU'):
        self.set_windows_version(version)
        d = self.patch_dir()
        entries = ''.join(f'    <OS>{t}</OS>\n' for t in os_list)
        (d / 'QZVRN.config').write_text(CONFIG.format(os=entries))
        (d / 'rules.xml').write_text(RULES)
        return self.run_manager(token, cwd=d)

    def expected(self, major, minor, os_list, outcome):
        """The whole run of both checks on an NT system of that version."""
        lines = SUPPORTED_OS + [
            ('CVRNManager', 'CheckOS', 'Started'),
            (CHECK, f'Local OSVersion = Major Version = {major}, '
                    f'Minor Version = {minor}', 'Info')]
        # Entries are logged in list order, matched ignoring case.
        supports = {k.lower(): v for k, v in SUPPORTS.items()}
        lines += [(CHECK, supports[t.lower()], 'Info') for t in os_list
                  if t.lower() in supports]
        if self.wow64:
            lines.append(WOW64_FOUND)
        lines.append(VISTA_FOUND)
        if not self.wow64:
            lines.append((CHECK, 'Not a Wow64 Process', 'Info'))
        lines += [(CHECK, 'Platform is VER_PLATFORM_WIN32_NT', 'Info'),
                  outcome]
        return lines

    def assertChecks(self, run, expected):
        self.assertEqual(os_entries(run), expected, run.describe())
        self.assertEqual(run.exit_code, 0, run.describe())

    def assertPasses(self, version, major, minor, os_list, row):
        run = self.run_check(version, os_list)
        self.assertChecks(run, self.expected(major, minor, os_list,
                                             updated(row)))
        self.assertLogLacks(run, CHECK_FAILED)

    def assertRefuses(self, version, major, minor, os_list):
        """Refused in both launch modes; the web-site run shows message 1
        (update-tool runs show no box at all)."""
        for token in ('QZSU', WEB_TOKEN):
            run = self.run_check(version, os_list, token)
            self.assertChecks(run, self.expected(major, minor, os_list,
                                                 NOT_MATCHED))
            self.assertLogHas(run, CHECK_FAILED)
            self.assertEqual(run.boxes, [MSG1_EN] if token == WEB_TOKEN
                             else [], run.describe())
            if token == WEB_TOKEN:
                self.assertEqual(run.box_records[0][0], 'QZ')


class Wow64Tests(OsCheckCase):
    """The 64-bit prefix: the 64-bit rows pass, the 32-bit rows refuse."""

    def test_windows_2000_passes_whatever_the_wow64_answer(self):
        self.assertPasses('win2k', 5, 0, ['Windows 2000'], 'Windows 2000')

    def test_xp_x64_passes_the_xp_row_before_the_server_row(self):
        self.assertPasses('winxp64', 5, 2, [XP64], 'Windows XP 64 Bit')
        self.assertPasses('winxp64', 5, 2, [S2003_64, XP64],
                          'Windows XP 64 Bit')

    def test_server_2003_x64_is_no_xp_x64(self):
        self.assertRefuses('win2003', 5, 2, [XP64])
        self.assertPasses('win2003', 5, 2, [XP64, S2003_64],
                          'Windows Server 2003 64 Bit')

    def test_vista_and_later_pass_the_vista_64_row(self):
        self.assertPasses('vista', 6, 0, [VISTA64], 'Windows Vista 64 Bit')
        self.assertPasses('win7', 6, 1, [VISTA64], 'Windows Vista 64 Bit')
        # No compatibility manifest: Windows 10 reads as 6.2.
        self.assertPasses('win10', 6, 2, [VISTA64], 'Windows Vista 64 Bit')

    def test_32_bit_rows_refuse_a_wow64_process(self):
        self.assertRefuses('winxp', 5, 1, [XP32])
        self.assertRefuses('win2003', 5, 2, [S2003_32])
        self.assertRefuses('win7', 6, 1, [VISTA32])

    def test_texts_match_whole_in_any_case(self):
        self.assertPasses('vista', 6, 0, ['wINDOWS vISTA (64BIT)'],
                          'Windows Vista 64 Bit')
        # (A blank at either end cannot be tried from the file: MSXML's text
        # drops it before the list is filled.)
        run = self.run_check('vista', ['Windows Vista', 'Windows Vista(64bit)',
                                       'Windows Vista  (64bit)'])
        self.assertChecks(run, self.expected(6, 0, [], NOT_MATCHED))

    def test_empty_list_supports_every_nt_system(self):
        run = self.run_check('win7', [])
        self.assertChecks(run, SUPPORTED_OS + [
            ('CVRNManager', 'CheckOS', 'Started'),
            (CHECK, 'Local OSVersion = Major Version = 6, Minor Version = 1',
             'Info'),
            (CHECK, 'Supports all OS from Windows 2000 onwards', 'Info')])
        self.assertLogLacks(run, CHECK_FAILED)

    def test_windows_98_is_refused_before_anything_is_read(self):
        for token in ('QZSU', WEB_TOKEN):
            run = self.run_check('win98', [XP32], token)
            self.assertChecks(run, [
                ('CVRNManager', 'IsSupportedOS', 'Started'),
                ('CVRNManager:IsSupportedOS', 'Windows ME/98/95',
                 'not supported')])
            self.assertLogHas(run, OS_REFUSED)
            self.assertFalse([line for line in run.log_lines
                              if line[1] in ('ReadConfiguration',
                                             'ReadConditions')],
                             run.describe())
            self.assertEqual(run.boxes, [MSG1_EN] if token == WEB_TOKEN
                             else [], run.describe())


class NoWow64Tests(OsCheckCase):
    """The 32-bit prefix: the 32-bit rows pass, the 64-bit rows refuse."""
    prefix32 = True
    wow64 = False

    def test_32_bit_rows_pass(self):
        self.assertPasses('winxp', 5, 1, [XP32], 'Windows XP 32 Bit')
        self.assertPasses('win2003', 5, 2, [S2003_32],
                          'Windows Server 2003 32 Bit')
        self.assertPasses('vista', 6, 0, [VISTA32], 'Windows Vista 32 Bit')
        self.assertPasses('win10', 6, 2, [VISTA32], 'Windows Vista 32 Bit')

    def test_windows_2000_passes(self):
        self.assertPasses('win2k', 5, 0, [XP32, 'Windows 2000'],
                          'Windows 2000')

    def test_64_bit_rows_refuse_a_native_process(self):
        self.assertRefuses('winxp64', 5, 2, [XP64, S2003_64])
        self.assertRefuses('win7', 6, 1, [VISTA64])

    def test_windows_98_is_refused(self):
        run = self.run_check('win98', [], WEB_TOKEN)
        self.assertChecks(run, [
            ('CVRNManager', 'IsSupportedOS', 'Started'),
            ('CVRNManager:IsSupportedOS', 'Windows ME/98/95',
             'not supported')])
        self.assertLogHas(run, OS_REFUSED)
        self.assertEqual(run.boxes, [MSG1_EN], run.describe())


if __name__ == '__main__':
    unittest.main()
