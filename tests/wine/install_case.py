"""What the Wine tests of the main job share: the log's sources and
entries, the patch files' old and new bytes, PATCH_DETAILS and conditions
files, and InstallStepsCase (an installed product, a patch folder, a run,
the log read as bytes).
"""

import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import log_line_bytes  # noqa: E402

REGPROBE = harness.TOOLS / 'qzregprobe.dll'
MAIN = 'QZVRN:Main'
INSTALL = 'CVRNManager:InstallPatch'
SUBCONDITION = 'CVRNManager:DoUpdate SubCondition: '
SHUTDOWN = 'CVRNManager::SystemShutdown'
UPDATE_ENDED = ('CVRNManager', 'DoUpdate', 'Ended')
REGISTRATION = ('CVRNManager', 'RegisterCOMDLLS', 'Started')
MOVED_PROGRAM = re.compile(r'tmp\d+\.tmp')
BACKUP_FOLDER = re.compile(r'qzvrn\d+')

OLD = b'[QZ]\r\nVersion=1.0\r\n'
NEW = b'[QZ]\r\nVersion=2.0\r\n'


def patch_details(name, keys=(), condition=None, comreg=False, arguments=None):
    """One PATCH_DETAILS: a file entry with registry locations (subkey,
    value name), or with arguments a program entry."""
    attr = f' Condition_Ref="{condition}"' if condition else ''
    xml = [f'    <PATCH_DETAILS{attr}>',
           f'      <INSTALLFILENAME>{name}</INSTALLFILENAME>']
    if keys:
        xml.append('      <REGKEYS>')
        xml += [f'        <INSTALLPATH_REGKEY Key="{k}" Value="{v}" Path=""/>'
                for k, v in keys]
        xml.append('      </REGKEYS>')
    if comreg:
        xml.append('      <COMREG_REQUIRED>TRUE</COMREG_REQUIRED>')
    if arguments is not None:
        xml += ['      <EXECUTION_REQUIRED>TRUE</EXECUTION_REQUIRED>',
                f'      <ARGUMENTS>{arguments}</ARGUMENTS>']
    return '\n'.join(xml + ['    </PATCH_DETAILS>', ''])


def conditions_xml(conditions):
    body = ''.join(f'    <CONDITION ID="{i}"><JSCRIPT><![CDATA[{js}]]>'
                   '</JSCRIPT></CONDITION>\n' for i, js in conditions.items())
    return ('<?xml version="1.0"?>\n<QZVRN_CONDITIONS>\n  <CONDITION_DETAILS>\n'
            f'{body}  </CONDITION_DETAILS>\n</QZVRN_CONDITIONS>\n')


def names(folder):
    return sorted(p.name for p in folder.iterdir())


class InstallStepsCase(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        if not REGPROBE.exists():
            self.fail(f'{REGPROBE} is missing: build it first (make build)')
        self._products = 0

    def product(self, files=None):
        """An installed product: a folder with the given files, named by a
        registry value. Returns (folder, location for patch_details)."""
        self._products += 1
        folder = self.patch_dir()  # named after the test: no other test's
        for name, data in (files or {}).items():
            (folder / name).write_bytes(data)
        key = f'{self.unique_key()}-{self._products}'
        self.reg_add(key, 'InstallDir', 'REG_SZ', self.win_path(folder))
        return folder, (key.split('\\', 1)[1], 'InstallDir')

    def patch(self, files, updates, conditions=None, rule='return true;',
              reboot_flag='0', silent=False, switches=''):
        d = self.patch_dir()
        for name, data in files.items():
            path = d / name.replace('\\', '/')
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        (d / 'QZVRN.config').write_text(harness.config_xml(
            silent=silent, updates=''.join(updates), switches=switches))
        (d / 'rules.xml').write_text(harness.rules_xml(rule, reboot_flag))
        if conditions:
            (d / 'QZVRN_Conditions.config').write_text(
                conditions_xml(conditions))
        return d

    def run_patch(self, d, tail='QZSU', **kw):
        run = self.run_manager(tail, cwd=d, **kw)
        self.assertEqual(run.exit_code, 0, run.describe())
        return run

    # The log as bytes: several fields end or begin with a blank, which the
    # split into fields cannot tell from the separator.
    def assertEntry(self, run, *entry):
        if log_line_bytes(*entry) not in (run.log_bytes or b''):
            self.fail(f'log lacks {entry!r}{run.describe()}')

    def assertEntriesInOrder(self, run, entries):
        pos = 0
        for e in entries:
            i = (run.log_bytes or b'').find(log_line_bytes(*e), pos)
            if i < 0:
                self.fail(f'{e!r} missing or out of order{run.describe()}')
            pos = i + 1

    def installed(self, patch, name, folder):
        """The normal-form install entry of one file."""
        return (INSTALL, f'SetupInstallFileEx 1: Result = 1, Filename = {name}'
                f', sourcepath = {self.win_path(patch)}, destinationpath = '
                f'{self.win_path(folder / name)}', ' Info')
