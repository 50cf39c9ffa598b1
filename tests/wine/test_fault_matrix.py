"""Fault matrix of the install steps under Wine: one run per row, each with
one installed file to replace, in web-site mode so that the message shows.
Every row checks the log entries of its fault, the message boxes, the exit
code and the bytes of the destination file (old or new, never anything
else), and that nothing else lands in the destination folder.

Faults that must strike after the patch files were verified strike while
the main rule runs: the rule writes a flag file and waits for a go file,
and the test acts in between (that is after VerifySourceFilesPath and
before DoUpdate). The rows: fault_rows.py; how each fault is made:
fault_makers.py.

Run by hand: python3 tests/wine/test_fault_matrix.py (QZ_FAULT_ROWS=text
runs only the rows whose name holds the text)
"""

import contextlib
import os
import shutil
import sys
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import WEB_TOKEN  # noqa: E402
from fault_makers import CONTROL, HOLDER, FaultMakers  # noqa: E402
from fault_rows import BIG, FULL_DRIVE, NAME, NEW, OLD, ROWS  # noqa: E402

PENDING_KEY = 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager'
PENDING = 'PendingFileRenameOperations'

# A main rule that lets the test act between verification and install.
PAUSE_RULE = '''
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  fso.CreateTextFile({flag}).Close();
  // Wine's script host has no WScript.Sleep.
  var end = new Date().getTime() + 30000;
  while (!fso.FileExists({go}) && new Date().getTime() < end) {{}}
  return true;
'''


def js_str(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def log_field(text):
    """A field as the 8-bit log stores it."""
    return ''.join('?' if ord(c) > 0xFF or ord(c) < 0x20 else c
                   for c in text[:255])


def log_line(entry):
    return ('  '.join(log_field(f) for f in entry) + '\r\n').encode('latin-1')


class FaultMatrixTest(FaultMakers, harness.WineTestCase):

    def setUp(self):
        super().setUp()
        for tool in (CONTROL, HOLDER):
            if not tool.exists():
                self.fail(f'{tool} is missing: build it first (make build)')

    # --- one row --------------------------------------------------------

    def pending(self):
        """The replacements queued for the restart, as (from, to) pairs."""
        raw = self.reg_query(PENDING_KEY, PENDING, view=None)
        if raw is None:
            return None, []
        names = raw.split('\\0')
        return raw, list(zip(names[0::2], names[1::2]))

    def keep_pending(self):
        """The queue gets back what it had after the row; a temporary file
        queued by the row goes."""
        raw, before = self.pending()

        def restore():
            for pair in self.pending()[1]:
                if pair not in before and pair[0].startswith('\\??\\'):
                    with contextlib.suppress(OSError):
                        self.unix_path(pair[0][4:]).unlink()
            if raw is None:
                self.reg_delete(PENDING_KEY, PENDING, view=None)
            else:
                self.reg_add(PENDING_KEY, PENDING, 'REG_MULTI_SZ', raw,
                             view=None, cleanup=False)
        self.row_cleanup.callback(restore)
        return before

    def run_row(self, index, r):
        if r['mount'] and not self.can_mount():
            self.skipTest('mounting a file system is not permitted here')
        queue_before = self.keep_pending()
        base = self.patch_dir(f'product-{index}')
        if r['folder'] == FULL_DRIVE:
            base = self.full_drive()
            folder = base / 'prod'
            folder.mkdir()
            win_folder = 'Q:\\prod'
        else:
            folder = base / r['folder'] if r['folder'] else base
            win_folder = self.win_path(folder)
            if r['folder'] != 'absent':
                folder.mkdir(parents=True, exist_ok=True)
        install = folder
        for part in filter(None, r['relative'].split('\\')):
            install = install / part
        if r['folder'] != 'absent':
            install.mkdir(parents=True, exist_ok=True)
            if r['original']:
                (install / NAME).write_bytes(OLD)
        win_install = win_folder + ('\\' + r['relative'] if r['relative']
                                    else '')

        key = f'{self.unique_key()}-{index}'
        kind, data = r['value'] or ('REG_SZ', lambda f: f)
        self.reg_add(key, 'InstallDir', kind, data(win_folder))

        patch = self.patch_dir(f'patch-{index}')
        self.pause_dir = self.patch_dir(f'pause-{index}')
        flag, go = self.pause_dir / 'paused', self.pause_dir / 'go'
        new = BIG if r['folder'] == FULL_DRIVE else NEW
        (patch / NAME).write_bytes(new)
        shutil.copyfile(CONTROL, patch / 'qzkdiag.dll')
        (patch / 'QZVRN.config').write_text(harness.config_xml(updates=(
            '    <PATCH_DETAILS>\n'
            f'      <INSTALLFILENAME>{NAME}</INSTALLFILENAME>\n'
            '      <REGKEYS><INSTALLPATH_REGKEY Key="'
            f'{key.split(chr(92), 1)[1]}" Value="InstallDir" '
            f'Path="{r["relative"]}"/></REGKEYS>\n'
            '    </PATCH_DETAILS>\n')), encoding='utf-8')
        (patch / 'rules.xml').write_text(harness.rules_xml(PAUSE_RULE.format(
            flag=js_str(self.win_path(flag)), go=js_str(self.win_path(go)))))
        shutil.copyfile(harness.BIN / harness.PRODUCT, patch / harness.PRODUCT)

        context = {'dest': install / NAME, 'folder': folder, 'patch': patch}
        if r['arrange']:
            r['arrange'](self, context)
        if r['folder'] == FULL_DRIVE:
            # What is left on the drive is less than the patch file.
            (base / 'filler').write_bytes(b'\0' * (48 * 1024))

        struck, done = [], threading.Event()

        def watch():
            while not done.is_set():
                if flag.exists():
                    try:
                        if r['strike']:
                            r['strike'](self, context)
                        struck.append(None)
                    except Exception as e:  # reported below
                        struck.append(e)
                    go.write_bytes(b'')
                    return
                time.sleep(0.02)
        watcher = threading.Thread(target=watch)
        watcher.start()
        try:
            run = self.run_manager(WEB_TOKEN, cwd=patch, copy=False,
                                   exe=patch / harness.PRODUCT)
        finally:
            done.set()
            watcher.join()
        if struck and struck[0] is not None:
            self.fail(f'the fault could not be made: {struck[0]!r}')
        if r['strike']:
            self.assertTrue(struck, f'the rule never paused{run.describe()}')

        names = {'folder': win_folder, 'install': win_install,
                 'dest': win_install + '\\' + NAME,
                 'patch': self.win_path(patch)}
        log = run.log_bytes or b''
        pos = 0
        for entry in r['entries']:
            line = log_line(tuple(f.format(**names) for f in entry))
            i = log.find(line, pos)
            if i < 0:
                self.fail(f'{line!r} missing or out of order{run.describe()}')
            pos = i + len(line)
        self.assertEqual(run.boxes, r['boxes'], run.describe())
        self.assertEqual(run.exit_code, r['exit_code'], run.describe())

        # The invariant: the old bytes or the new ones, nothing in between,
        # and no other file left beside them.
        if r['dest'] is None:
            left = sorted(p.name for p in install.iterdir()) \
                if install.exists() else []
            self.assertEqual(left, [], run.describe())
        else:
            want = new if r['dest'] is NEW else r['dest']
            self.assertEqual(sorted(p.name for p in install.iterdir()), [NAME],
                             run.describe())
            got = (install / NAME).read_bytes()
            self.assertEqual(got, want, f'{len(got)} bytes{run.describe()}')
        # A replacement queued for the restart holds the whole new file.
        queued = [p for p in self.pending()[1] if p not in queue_before]
        if r['queued']:
            self.assertEqual([to for _, to in queued],
                             ['\\??\\' + names['dest']], run.describe())
            self.assertEqual(self.unix_path(queued[0][0][4:]).read_bytes(),
                             new)
        else:
            self.assertEqual(queued, [], run.describe())

    def test_fault_matrix(self):
        only = os.environ.get('QZ_FAULT_ROWS', '')  # by hand: part of a name
        for index, r in enumerate(ROWS):
            if only not in r['name']:
                continue
            with self.subTest(r['name']), contextlib.ExitStack() as stack:
                self.row_cleanup = stack
                self.run_row(index, r)


if __name__ == '__main__':
    unittest.main()
