"""What the Wine tests of the patch manager's entry share: the log's first
and last entries, the entry of a token that is none, the language rows of
LoadMessage and EntryTestCase.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN  # noqa: E402

FIRST = ('QZVRN', 'Main', 'Started')
MAIN_ENDED = ('QZVRN', 'Main', 'Ended')
LAST = ('CVRNManager', '~CVRNManager', 'Started')
NOT_A_TOKEN = ('QZVRN:Main', 'Update not required:', f'Not QZSU/{WEB_TOKEN}')

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
