"""End-to-end tests of the patch manager's entry: the launch token, the end
of a run without a configuration, the log's first and last lines and its
bytes, message 3 in the system's language, and which entry and message each
outcome of the run produces in both launch modes.

Run by hand: python3 tests/wine/test_entry.py [-k pattern]
"""

import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN, log_line_bytes  # noqa: E402

FIRST = ('QZVRN', 'Main', 'Started')
MAIN_ENDED = ('QZVRN', 'Main', 'Ended')
LAST = ('CVRNManager', '~CVRNManager', 'Started')
NOT_A_TOKEN = ('QZVRN:Main', 'Update not required:', f'Not QZSU/{WEB_TOKEN}')

MSG1_RE = re.compile(r'This update does not support any of the QZ device\r?\n'
                     r' drivers that you have on your PC\. You do not need '
                     r'this software update\.')
MSG5_EN = 'Update completed successfully.'

# Exact message 3 per locale, once the translations are settled; a locale
# missing here is checked by its script and by differing from English.
MSG3 = {}

# Characters that a translation into these languages cannot do without.
SCRIPTS = {
    'ja_JP': ('kana', lambda c: '\u3040' <= c <= '\u30ff'),
    'ko_KR': ('hangul', lambda c: '\uac00' <= c <= '\ud7af'),
    'zh_CN': ('han', lambda c: '\u4e00' <= c <= '\u9fff'),
    'zh_TW': ('han', lambda c: '\u4e00' <= c <= '\u9fff'),
    'zh_HK': ('han', lambda c: '\u4e00' <= c <= '\u9fff'),
    'ru_RU': ('cyrillic', lambda c: '\u0400' <= c <= '\u04ff'),
    'el_GR': ('greek', lambda c: '\u0370' <= c <= '\u03ff'),
    'he_IL': ('hebrew', lambda c: '\u0590' <= c <= '\u05ff'),
    'ar_SA': ('arabic', lambda c: '\u0600' <= c <= '\u06ff'),
}
# Systems whose language has no string table of its own: English.
ENGLISH_LOCALES = ('en_US', 'en_GB', 'ro_RO')

# The language rows of LoadMessage, by primary language.
ROWS = {
    1: ('LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA', 'Info'),
    7: ('LANG_GERMAN, SUBLANG_GERMAN', 'Info'),
    10: ('LANG_SPANISH, SUBLANG_SPANISH', 'Info'),
    12: ('LANG_FRENCH, SUBLANG_FRENCH', 'Info'),
    16: ('LANG_ITALIAN, SUBLANG_ITALIAN', 'Info'),
    19: ('LANG_DUTCH, SUBLANG_DUTCH', 'Info'),
    20: ('LANG_NORWEGIAN, SUBLANG_NORWEGIAN_BOKMAL', 'Info'),
    22: ('LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN', 'Info'),
    29: ('LANG_SWEDISH, SUBLANG_SWEDISH', 'Info'),
}
CHINESE_ROWS = {
    1: ('LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL', 'If Part'),
    2: ('LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED', 'else if Part'),
}
CHINESE_OTHER = ('LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED', 'else Part')
DEFAULT_ROW = ('MsgDisplayString()', 'default case')


def os_language(primary, sub):
    return ('CVRNManager:LoadMessage',
            f'OSLanguage: PrimaryLanguage = {primary}, SubLanguage = {sub} ',
            'Info')


def language_row(primary, sub):
    if primary == 4:
        row = CHINESE_ROWS.get(sub, CHINESE_OTHER)
    else:
        row = ROWS.get(primary, DEFAULT_ROW)
    return ('CVRNManager:LoadMessage',) + row


class EntryTestCase(harness.WineTestCase):

    def assertRunFrame(self, run):
        """First line the entry's Started, last the destructor's."""
        self.assertTrue(run.log_lines, f'no log{run.describe()}')
        self.assertEqual(run.log_lines[0], FIRST, run.describe())
        self.assertEqual(run.log_lines[-1], LAST, run.describe())

    def assertOneBox(self, run, text=MSG3_EN):
        self.assertEqual(run.box_records, [('QZ', text, 'OK')], run.describe())
        self.assertEqual(run.dialogs, [], run.describe())


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


class LanguageTests(EntryTestCase):
    """Message 3 after an unrecognised token, per system language (LANG)."""

    def run_in(self, locale):
        run = self.run_manager('x', lang=f'{locale}.UTF-8')
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertEqual(len(run.box_records), 1, run.describe())
        caption, text, buttons = run.box_records[0]
        self.assertEqual(caption, 'QZ', run.describe())
        self.assertNotIn('|', buttons, 'one button only')
        return run, text

    def assertTranslated(self, locale, text):
        if locale in MSG3:
            self.assertEqual(text, MSG3[locale])
            return
        self.assertNotEqual(text, MSG3_EN, f'{locale}: English text')
        self.assertIn('QZ', text, f'{locale}: the maker goes unnamed')
        if locale in SCRIPTS:
            name, test = SCRIPTS[locale]
            self.assertTrue(any(test(c) for c in text),
                            f'{locale}: no {name} in {text!r}')
        if locale.startswith('zh'):
            self.assertFalse(any(SCRIPTS['ja_JP'][1](c) for c in text),
                             f'{locale}: kana in {text!r}')

    def test_german(self):
        run, text = self.run_in('de_DE')
        self.assertInOrder(run, [
            ('CVRNManager', 'LoadMessage', 'Started'), os_language(7, 1),
            ('CVRNManager:LoadMessage', 'LANG_GERMAN, SUBLANG_GERMAN', 'Info'),
            ('CVRNManager', 'LoadMessage', 'Ended')])
        self.assertTranslated('de_DE', text)

    def test_swiss_german_gets_the_german_block(self):
        _, german = self.run_in('de_DE')
        run, swiss = self.run_in('de_CH')
        self.assertLogHas(run, os_language(7, 2))
        self.assertLogHas(run, ('CVRNManager:LoadMessage',
                                'LANG_GERMAN, SUBLANG_GERMAN', 'Info'))
        self.assertEqual(swiss, german)

    def test_hong_kong_gets_simplified_chinese(self):
        run, hk = self.run_in('zh_HK')
        self.assertInOrder(run, [
            os_language(4, 3),
            ('CVRNManager:LoadMessage',
             'LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED', 'else Part')])
        self.assertTranslated('zh_HK', hk)
        _, simplified = self.run_in('zh_CN')
        _, traditional = self.run_in('zh_TW')
        self.assertEqual(hk, simplified)
        self.assertNotEqual(hk, traditional)

    def test_japanese_neutral_request_gets_japanese(self):
        # Wine answers a neutral request with the neutral (English) block;
        # the program must find the Japanese one itself.
        run, text = self.run_in('ja_JP')
        self.assertInOrder(run, [
            os_language(17, 1),
            ('CVRNManager:LoadMessage', 'MsgDisplayString()', 'default case')])
        self.assertTranslated('ja_JP', text)

    def test_language_rows(self):
        for locale in ('en_US', 'en_GB', 'ar_SA', 'zh_TW', 'zh_CN', 'zh_HK',
                       'de_DE', 'es_ES', 'fr_FR', 'it_IT', 'nl_NL', 'nb_NO',
                       'pt_BR', 'sv_SE', 'ja_JP', 'ko_KR', 'ru_RU', 'ro_RO'):
            with self.subTest(locale):
                lang_id = self.system_lang_id(f'{locale}.UTF-8')
                primary, sub = lang_id & 0x3FF, lang_id >> 10
                run, _ = self.run_in(locale)
                self.assertInOrder(run, [
                    ('CVRNManager', 'LoadMessage', 'Started'),
                    os_language(primary, sub), language_row(primary, sub),
                    ('CVRNManager', 'LoadMessage', 'Ended')])

    def test_message_3_in_system_language(self):
        texts = {}
        for locale in harness.LOCALES:
            with self.subTest(locale):
                _, text = self.run_in(locale)
                texts[locale] = text
                if locale in ENGLISH_LOCALES:
                    self.assertEqual(text, MSG3_EN)
                else:
                    self.assertTranslated(locale, text)
        # Each language block holds its own translation.
        translated = {loc: t for loc, t in texts.items()
                      if loc not in ENGLISH_LOCALES
                      and loc not in ('de_CH', 'zh_HK')}
        self.assertEqual(len(set(translated.values())), len(translated),
                         f'shared texts: {translated!r}')


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
