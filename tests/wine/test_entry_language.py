"""End-to-end tests of the patch manager's entry: message 3 after an
unrecognised token in the system's language, and the language rows
LoadMessage logs on the way.

Run by hand: python3 tests/wine/test_entry_language.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from entry_case import EntryTestCase, language_row, os_language  # noqa: E402
from harness import MSG3_EN  # noqa: E402


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


if __name__ == '__main__':
    unittest.main()
