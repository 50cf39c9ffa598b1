"""End-to-end tests of the rule scripts that a run writes from the XML files
through Wine's MSXML: "TestCode_Main.js" and "TestCode_<ID>.js" byte for
byte, with the built-in and with a configured header and footer; element
texts as MSXML hands them over; condition IDs that are refused; scripts
beyond Latin-1 as UTF-16; 8-bit scripts that the console script host runs;
and the log entries of the three readers' failures.

The run's cleanup deletes the scripts, so each run here has a patch
folder in which nothing can be deleted or moved (append-only, chattr +a):
the tests read the scripts there after a "QZSU" run.

Run by hand: python3 tests/wine/test_rule_scripts.py [-k pattern]
"""

import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

OBJECTS_1 = ('QZRegUtil', 'QZFileUtil', 'QZIniFileUtil', 'QZOperatingSystem')
OBJECTS_2 = ('QZDeviceUtil', 'QZLogicalDriveInfo', 'QZPDriverRead',
             'QZPDriversCollection', 'QZPJobRead', 'QZPJobsCollection',
             'QZPMonitorRead', 'QZPMonitorsCollection', 'QZPPortRead',
             'QZPPortsCollection', 'QZPProcessorsCollection', 'QZPrinterRead',
             'QZPrintersCollection', 'QZSystemBoardInfo')


def _object(name):
    return f'var {name} = new ActiveXObject("QZKelvaDiags.{name}"); \r\n'


# The built-in texts as a script holds them (text mode: CR LF).
HEADER = (''.join(map(_object, OBJECTS_1)) + '\r\n' +
          ''.join(map(_object, OBJECTS_2)) + '\r\nfunction R1()\r\n{')
FOOTER = '} \r\nvar bResult = false; \r\nbResult = R1(); \r\nWScript.quit(bResult);'


def script(body, header=HEADER, footer=FOOTER):
    """The bytes of a rule script: header, CRLF, body, footer, CRLF."""
    return (header + '\r\n' + body + footer + '\r\n').encode('latin-1')


def utf16_script(body, header, footer=FOOTER):
    return b'\xff\xfe' + (header + '\r\n' + body + footer + '\r\n').encode('utf-16-le')


def config(inner='', rule='Rule.xml'):
    """A configuration that a run reads whole: silent, no update entries."""
    return ('<?xml version="1.0"?>\r\n<QZVRN>\r\n  <QZVRN_PARAMETERS>\r\n'
            f'    <FILENAME>{rule}</FILENAME>\r\n'
            '    <SILENT_MODE>TRUE</SILENT_MODE>\r\n'
            f'{inner}'
            '  </QZVRN_PARAMETERS>\r\n</QZVRN>\r\n')


def rule_file(*bodies, reboot='0'):
    matches = ''.join(f'      <matchString>{b}</matchString>\r\n' for b in bodies)
    return ('<?xml version="1.0"?>\r\n<WebUpdate>\r\n'
            f'  <rebootFlag>{reboot}</rebootFlag>\r\n'
            '  <matches>\r\n    <match>\r\n' + matches +
            '    </match>\r\n  </matches>\r\n</WebUpdate>\r\n')


def conditions(*items):
    body = ''.join(f'  <CONDITION ID="{i}">{s}</CONDITION>\r\n' for i, s in items)
    return ('<?xml version="1.0"?>\r\n<CONDITIONS>\r\n<CONDITION_DETAILS>\r\n' +
            body + '</CONDITION_DETAILS>\r\n</CONDITIONS>\r\n')


def write(folder, name, text, encoding='utf-8'):
    (folder / name).write_bytes(text.encode(encoding))


READ_ENDED = [('CVRNManager', 'ReadConditions', 'Ended'),
              ('CVRNManager', 'ReadConfiguration', 'Ended'),
              ('CVRNManager', 'ReadJSFromXml', 'Started')]


class RuleScriptCase(harness.WineTestCase):

    def run_with(self, folder, press='ok'):
        if subprocess.run(['chattr', '+a', str(folder)],
                          capture_output=True).returncode != 0:
            self.skipTest('chattr +a unavailable: the cleanup would delete '
                          'the scripts')
        self.addCleanup(subprocess.run, ['chattr', '-a', str(folder)])
        run = self.run_manager('QZSU', cwd=folder, press=press)
        self.assertEqual(run.exit_code is not None, True, run.describe())
        return run

    def assertFileBytes(self, path, expected, run):
        self.assertTrue(path.exists(), f'{path.name} not written{run.describe()}')
        data = path.read_bytes()
        if data != expected:
            self.assertEqual(data.hex(' '), expected.hex(' '), path.name)

    def scripts(self, folder):
        return sorted(p.name for p in folder.iterdir() if p.name.startswith('TestCode_'))


class ScriptBytes(RuleScriptCase):

    def test_built_in_texts_wrap_main_rule_and_conditions(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config())
        write(d, 'Rule.xml', rule_file(
            '\r\n        var a = 1;\r\n        return a == 1;\r\n      '))
        write(d, 'QZVRN_Conditions.config', conditions(
            ('IsOld', '\r\n    <JSCRIPT>\r\n      var v = 2;\r\n      return v > 1;\r\n    </JSCRIPT>\r\n  '),
            ('Cdata', '<JSCRIPT><![CDATA[\r\n  if (1 < 2) return true;\r\n  return false;\r\n]]></JSCRIPT>'),
            ('Beside', 'var b = 3; <JSCRIPT>return b == 3;</JSCRIPT>'),
            ('', '<JSCRIPT>return true;</JSCRIPT>'),
            ('NoScript', '<SCRIPT>return true;</SCRIPT>')))
        run = self.run_with(d)
        self.assertInOrder(run, READ_ENDED)
        self.assertEqual(self.scripts(d), ['TestCode_Beside.js', 'TestCode_Cdata.js',
                                           'TestCode_IsOld.js', 'TestCode_Main.js'])
        # MSXML drops the white space around a text node and keeps its lines;
        # CDATA reaches the script exactly.
        self.assertFileBytes(d / 'TestCode_Main.js',
                             script('var a = 1;\r\n        return a == 1;'), run)
        self.assertFileBytes(d / 'TestCode_IsOld.js',
                             script('var v = 2;\r\n      return v > 1;'), run)
        self.assertFileBytes(d / 'TestCode_Cdata.js',
                             script('\r\n  if (1 < 2) return true;\r\n  return false;\r\n'), run)
        self.assertFileBytes(d / 'TestCode_Beside.js',
                             script('var b = 3; return b == 3;'), run)

    def test_configured_header_and_footer_wrap_only_the_main_rule(self):
        d = self.patch_dir()
        header = 'var own = 1;\r\nfunction R1()\r\n{'
        footer = '}\r\nWScript.quit(R1());'
        write(d, 'QZVRN.config', config(
            '    <JSCRIPTCODE>\r\n'
            f'      <HEADER><![CDATA[{header}]]></HEADER>\r\n'
            f'      <FOOTER><![CDATA[{footer}]]></FOOTER>\r\n'
            '    </JSCRIPTCODE>\r\n'))
        write(d, 'Rule.xml', rule_file('return own == 1;'))
        write(d, 'QZVRN_Conditions.config',
              conditions(('C1', '<JSCRIPT>return true;</JSCRIPT>')))
        run = self.run_with(d)
        self.assertInOrder(run, READ_ENDED)
        self.assertFileBytes(d / 'TestCode_Main.js',
                             script('return own == 1;', header, footer), run)
        # Conditions are read before the configuration: built-in texts.
        self.assertFileBytes(d / 'TestCode_C1.js', script('return true;'), run)

    def test_empty_header_keeps_the_built_in_one(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config(
            '    <JSCRIPTCODE><HEADER></HEADER><FOOTER>} WScript.quit(R1());</FOOTER></JSCRIPTCODE>\r\n'))
        write(d, 'Rule.xml', rule_file('return true;'))
        run = self.run_with(d)
        self.assertFileBytes(d / 'TestCode_Main.js',
                             script('return true;', footer='} WScript.quit(R1());'), run)

    def test_last_match_string_wins_and_split_text_gives_its_first_node(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config())
        write(d, 'Rule.xml', rule_file(
            'return 1;', 'var x = 1;<![CDATA[ if (x < 2) ]]>return true;'))
        run = self.run_with(d)
        self.assertFileBytes(d / 'TestCode_Main.js', script('var x = 1;'), run)

    def test_refused_condition_ids_write_no_file(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config())
        write(d, 'Rule.xml', rule_file('return true;'))
        refused = ['..\\evil', '../evil2', 'sub\\x', 'C:x', 'a|b', 'a?b', 'a*b']
        write(d, 'QZVRN_Conditions.config', conditions(
            *[(i, '<JSCRIPT>return true;</JSCRIPT>') for i in refused],
            ('Fine', '<JSCRIPT>return true;</JSCRIPT>')))
        (d / 'sub').mkdir()
        before = sorted(p.name for p in d.parent.iterdir())
        run = self.run_with(d)
        self.assertInOrder(run, [('CVRNManager:ReadConditions', 'Condition ID refused: ', i)
                                 for i in refused] + READ_ENDED)
        self.assertEqual(self.scripts(d), ['TestCode_Fine.js', 'TestCode_Main.js'])
        self.assertEqual(list((d / 'sub').iterdir()), [])
        self.assertEqual(sorted(p.name for p in d.parent.iterdir()), before)
        self.assertEqual(list(self.prefix.glob('drive_c/*evil*')), [])

    def test_non_ansi_folder_name_finds_its_files(self):
        d = self.patch_dir('P\u00e4tch \u65e5\u672c \u0416')
        write(d, 'QZVRN.config', config())
        write(d, 'Rule.xml', rule_file('return true;'))
        write(d, 'QZVRN_Conditions.config',
              conditions(('C1', '<JSCRIPT>return true;</JSCRIPT>')))
        run = self.run_with(d)
        self.assertInOrder(run, READ_ENDED)
        self.assertFileBytes(d / 'TestCode_Main.js', script('return true;'), run)
        self.assertFileBytes(d / 'TestCode_C1.js', script('return true;'), run)


class ScriptHost(RuleScriptCase):
    """Scripts that the console script host runs here: a configured header
    without the diagnostics objects, so only the text itself is tried."""

    HEADER = 'function R1()\r\n{'

    def main_script(self, body):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config(
            f'    <JSCRIPTCODE><HEADER><![CDATA[{self.HEADER}]]></HEADER></JSCRIPTCODE>\r\n'))
        write(d, 'Rule.xml', rule_file(f'<![CDATA[{body}]]>'))
        run = self.run_with(d)
        return d, run

    def cscript(self, path):
        r = self.wine(['cscript', '//nologo', self.win_path(path)], cwd=path.parent)
        return r.returncode - 256 if r.returncode > 127 else r.returncode

    def test_text_beyond_latin1_is_written_as_utf16(self):
        """Only the bytes: Wine's script host reads every script in the ANSI
        code page (measured: a UTF-16 script with byte-order mark stops on
        a syntax error there and exits 0), where Windows' host recognises
        the byte-order mark."""
        body = 'return "\u65e5\u672c \u0416 \u00e9" == String.fromCharCode(0x65e5, 0x672c, 32, 0x416, 32, 0xe9);'
        d, run = self.main_script(body)
        self.assertFileBytes(d / 'TestCode_Main.js', utf16_script(body, self.HEADER), run)

    def test_latin1_text_stays_8_bit_and_runs(self):
        body = 'return "\u00e9\u00fc" == String.fromCharCode(0xe9, 0xfc);'
        d, run = self.main_script(body)
        self.assertFileBytes(d / 'TestCode_Main.js', script(body, self.HEADER), run)
        self.assertEqual(self.cscript(d / 'TestCode_Main.js'), -1)

    def test_a_false_rule_reads_as_zero(self):
        d, run = self.main_script('return 1 == 2;')
        self.assertEqual(self.cscript(d / 'TestCode_Main.js'), 0)


# Wine's FormatMessageW has no text for E_POINTER: the reader's own one.
POINTER = 'Unknown error 0x80004003'


class ReaderFailures(RuleScriptCase):

    def test_configuration_without_parameters_is_com_error_9(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', '<QZVRN><qzvrn_parameters/></QZVRN>')
        run = self.run_with(d)
        self.assertInOrder(run, [
            ('CVRNManager', 'ReadConfiguration', 'Started'),
            ('CVRNManager:ReadConfiguration', 'Com error: ', POINTER),
            ('QZVRN:Main', 'Exception:', 'failed'),
            ('CVRNManager:ParseVRNError', 'General ', 'Failure')])
        self.assertNotIn(('CVRNManager', 'ReadConfiguration', 'Ended'), run.log_lines)

    def test_missing_configuration_is_error_1(self):
        run = self.run_with(self.patch_dir())
        self.assertInOrder(run, [
            ('CVRNManager:ReadConditions', 'QZVRN_Conditions Config file not found: ', 'Info'),
            ('CVRNManager', 'ReadConfiguration', 'Started'),
            ('CVRNManager:ReadConfiguration', 'Unknown error: ', 'Failed'),
            ('CVRNManager:ParseVRNError', 'Rule file: ', 'Not found')])

    def test_malformed_conditions_is_error_11(self):
        d = self.patch_dir()
        write(d, 'QZVRN_Conditions.config', '<CONDITION_DETAILS><CONDITION ID="x">')
        run = self.run_with(d)
        self.assertInOrder(run, [
            ('CVRNManager', 'ReadConditions', 'Started'),
            ('CVRNManager:ReadConditions', 'Could not load Config file', 'Error'),
            ('CVRNManager:ReadConditions', 'Unknown error: ', 'Failed'),
            ('CVRNManager:ParseVRNError', 'General ', 'Failure')])
        self.assertEqual(self.scripts(d), [])

    def test_empty_match_string_is_com_error_without_blank(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config())
        write(d, 'Rule.xml', rule_file('  '))
        run = self.run_with(d)
        self.assertInOrder(run, [
            ('CVRNManager', 'ReadJSFromXml', 'Started'),
            ('CVRNManager:ReadJSFromXml', 'Com error:', POINTER),
            ('CVRNManager:ParseVRNError', 'General ', 'Failure')])
        self.assertEqual(self.scripts(d), [])

    def test_missing_rule_file_is_error_1(self):
        d = self.patch_dir()
        write(d, 'QZVRN.config', config(rule='Absent.xml'))
        run = self.run_with(d)
        self.assertInOrder(run, [
            ('CVRNManager:ReadJSFromXml', 'Rule file not found', 'Failed'),
            ('CVRNManager:ReadJSFromXml', 'error', 'Failed'),
            ('CVRNManager:ParseVRNError', 'Rule file: ', 'Not found')])


if __name__ == '__main__':
    unittest.main()
