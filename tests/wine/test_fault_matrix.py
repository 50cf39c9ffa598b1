"""Fault matrix of the install steps under Wine: one run per row, each with
one installed file to replace, in web-site mode so that the message shows.
Every row checks the log entries of its fault, the message boxes, the exit
code and the bytes of the destination file (old or new, never anything
else), and that nothing else lands in the destination folder.

Faults that must strike after the patch files were verified strike while
the main rule runs: the rule writes a flag file and waits for a go file,
and the test acts in between (that is after VerifySourceFilesPath and
before DoUpdate).

Run by hand: python3 tests/wine/test_fault_matrix.py (QZ_FAULT_ROWS=text
runs only the rows whose name holds the text)
"""

import contextlib
import os
import shutil
import subprocess
import sys
import threading
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from harness import MSG3_EN, WEB_TOKEN  # noqa: E402

CONTROL = harness.BIN / 'qzkdiag.dll'
HOLDER = harness.TOOLS / 'qzholder.exe'
VERSION_KEY = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion'
PENDING_KEY = 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager'
PENDING = 'PendingFileRenameOperations'

MSG1_EN = ('This update does not support any of the QZ device\n drivers that '
           'you have on your PC. You do not need this software update.')
MSG5_EN = 'Update completed successfully.'

MAIN = 'QZVRN:Main'
PATH_SOURCE = 'CVRNManager:ReturnRegistryPath'
SUCCESS = (MAIN, 'DoUpdate:Update completed successfully.', 'Success')
NOT_LOCATED = (MAIN, 'LocateAndVerifyInstallPath:', 'Failed')
NOT_FOUND = (PATH_SOURCE, 'Destination instal path:', 'not found')
UPDATE_FAILED = (MAIN, 'DoUpdate:', 'Failed')
EXCEPTION = (MAIN, 'Exception:', 'failed')
BACKUP_ERROR = ('CVRNManager:ParseVRNError', 'Backup : ', 'Failed')

NAME = 'QZZa.ini'
OLD = b'[QZ]\r\nVersion=1.0\r\n'
NEW = b'[QZ]\r\nVersion=2.0\r\n'
# More than the small drive holds.
BIG = b''.join(b'[QZ]\r\nLine%06d=2.0\r\n' % i for i in range(16000))
FULL_DRIVE = 'q:'

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


# ------------------------------------------------------------- rows ------
# Each row: what is done before the run (arrange) and at the pause (strike),
# then what the run must show. Entries are templates: {folder} is the
# folder as the registry names it, {install} that joined with the relative
# path, {dest} the destination file, {patch} the patch folder.

def row(name, entries, boxes, dest, exit_code=0, arrange=None, strike=None,
        value=None, relative='', folder=None, queued=False, mount=False,
        original=True):
    return dict(name=name, entries=entries, boxes=boxes, dest=dest,
                exit_code=exit_code, arrange=arrange, strike=strike,
                value=value, relative=relative, folder=folder, queued=queued,
                mount=mount, original=original)


INSTALLED = [(PATH_SOURCE, 'Destination patch Path:', '{install}'), SUCCESS]
NO_BACKUP = [('CVRNManager:DoUpdate', 'Exception:', 'failed'), EXCEPTION,
             BACKUP_ERROR]

ROWS = [
    # Wine's Setup API replaces a read-only file.
    row('destination read-only', INSTALLED, [MSG5_EN], NEW,
        arrange=lambda t, c: c['dest'].chmod(0o444)),
    row('destination folder missing',
        [(PATH_SOURCE, 'Destination patch Path:', '{folder}'), NOT_FOUND,
         NOT_LOCATED], [MSG1_EN], None, folder='absent'),
    row('destination folder removed after verification',
        [('CVRNManager:DoUpdate',
          f'PatchFile = {NAME}, SetupInstallFileEx error 3', 'Failed'),
         UPDATE_FAILED], [MSG3_EN], None,
        strike=lambda t, c: shutil.rmtree(c['folder'])),
    row('destination locked without sharing',
        [('CVRNManager:Backup', 'Backup :', 'Failed')] + NO_BACKUP,
        [MSG3_EN], OLD, exit_code=-1,
        strike=lambda t, c: t.hold(c['dest'])),
    # Wine queues the new file for the restart but tells the program
    # nothing (no delayed-copy notice, not in use): no restart is offered.
    row('destination in use, shared for reading',
        INSTALLED, [MSG5_EN], OLD, queued=True,
        strike=lambda t, c: t.hold(c['dest'], 'read')),
    row('backup folder not creatable',
        [('CVRNManager:Backup', 'Backup Directory creation :', 'Failed')] +
        NO_BACKUP, [MSG3_EN], OLD, exit_code=-1, mount=True,
        strike=lambda t, c: t.read_only_mount(c['patch'])),
    # A patch file gone at walk time only skips its entry (a patch may
    # remove a later file itself): the run ends as a success.
    row('patch file vanishing after verification',
        [('CVRNManager:DoUpdate', 'File Not Found', 'Failed to Load'),
         SUCCESS], [MSG5_EN], OLD,
        strike=lambda t, c: (c['patch'] / NAME).unlink()),
    row('German umlauts in the install folder', INSTALLED, [MSG5_EN], NEW,
        folder='Größe Prüfung ÄÖÜ äöü ß'),
    row('Japanese install folder', INSTALLED, [MSG5_EN], NEW,
        folder='インストール先 テスト'),
    row('install path over 200 characters', INSTALLED, [MSG5_EN], NEW,
        folder='L' * 60,
        relative='\\'.join(['sub folder ' + str(i) * 40 for i in range(3)])),
    # The value's type is not examined: the DWORD 1 reads as the text "\1".
    row('registry value of type DWORD',
        [(PATH_SOURCE, 'Destination patch Path:', '?'), NOT_FOUND,
         NOT_LOCATED], [MSG1_EN], OLD, value=('REG_DWORD', lambda f: '1')),
    row('registry value empty',
        [NOT_FOUND, NOT_LOCATED], [MSG1_EN], OLD,
        value=('REG_SZ', lambda f: '')),
    row('registry value without terminating zero', INSTALLED, [MSG5_EN], NEW,
        value=('REG_BINARY', lambda f: f.encode('utf-16-le').hex())),
    row('registry value over 255 bytes',
        [(PATH_SOURCE, 'Registry Sub Key:', 'Absent'), NOT_FOUND,
         NOT_LOCATED], [MSG1_EN], OLD, folder='F' * 130),
    # The rule's header cannot create the control; Wine's script host then
    # exits 0, so the rule reads as false (on Windows: no answer, message 3).
    row('ProgramFilesDir missing, control not registered',
        [('CVRNManager:CheckControl', 'registry sub key:', 'not found'),
         (MAIN, 'Update not required:', 'Java script returned false')],
        [MSG1_EN], OLD, arrange=lambda t, c: t.without_program_files()),
    # Wine's Setup API leaves the start of the new file behind: the
    # original has to come back from its backup copy.
    row('destination drive full',
        [('CVRNManager:DoUpdate',
          f'PatchFile = {NAME}, SetupInstallFileEx error 112', 'Failed'),
         ('CVRNManager:DoUpdate', f'PatchFile = {NAME} : original restored',
          'Info'),
         UPDATE_FAILED], [MSG3_EN], OLD, folder=FULL_DRIVE, mount=True),
    row('destination drive full, no file there before',
        [('CVRNManager:Backup', 'Destination file :', 'Absent'),
         ('CVRNManager:DoUpdate',
          f'PatchFile = {NAME}, SetupInstallFileEx error 112', 'Failed'),
         ('CVRNManager:DoUpdate', f'PatchFile = {NAME} : partial copy removed',
          'Info'),
         UPDATE_FAILED], [MSG3_EN], None, folder=FULL_DRIVE, mount=True,
        original=False),
]


class FaultMatrixTest(harness.WineTestCase):

    def setUp(self):
        super().setUp()
        for tool in (CONTROL, HOLDER):
            if not tool.exists():
                self.fail(f'{tool} is missing: build it first (make build)')

    # --- faults ---------------------------------------------------------

    def hold(self, path, share=None):
        """Another program holds the file open for writing until the row
        ends, sharing nothing or (share 'read') only reading."""
        flag = self.pause_dir / 'held'
        proc = subprocess.Popen(
            ['wine', str(HOLDER), self.win_path(path), self.win_path(flag)] +
            ([share] if share else []),
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)

        def release():
            with contextlib.suppress(FileNotFoundError):
                flag.unlink()
            try:
                proc.wait(timeout=20 * harness.time_scale())
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.row_cleanup.callback(release)
        deadline = time.time() + 20 * harness.time_scale()
        while time.time() < deadline and not flag.exists():
            time.sleep(0.05)
        text = flag.read_text() if flag.exists() else 'no answer'
        if text != 'held':
            raise RuntimeError(f'holder: {text}')

    def read_only_mount(self, folder):
        """The patch folder turns read-only under the running program."""
        subprocess.run(['mount', '--bind', str(folder), str(folder)],
                       check=True)
        self.row_cleanup.callback(subprocess.run, ['umount', '-l', str(folder)])
        subprocess.run(['mount', '-o', 'remount,bind,ro', str(folder)],
                       check=True)

    def full_drive(self):
        """A drive of 64 KiB, almost full, as FULL_DRIVE; returns its root."""
        mount = harness.WINE_ROOT / f'full-drive-{os.getpid()}'
        mount.mkdir(parents=True, exist_ok=True)
        subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=64k', 'qzfull',
                        str(mount)], check=True)
        self.row_cleanup.callback(shutil.rmtree, mount, True)
        self.row_cleanup.callback(subprocess.run, ['umount', '-l', str(mount)])
        link = self.prefix / 'dosdevices' / FULL_DRIVE
        with contextlib.suppress(FileNotFoundError):
            link.unlink()
        link.symlink_to(mount)
        self.row_cleanup.callback(link.unlink)
        return mount

    def without_program_files(self):
        """No ProgramFilesDir and the control not registered; both come back
        afterwards, the control registered where the manager puts it."""
        old = self.reg_query(VERSION_KEY, 'ProgramFilesDir')
        self.assertTrue(old, 'no ProgramFilesDir in the prefix')
        spare = self.patch_dir('unregister')
        shutil.copyfile(CONTROL, spare / 'qzkdiag.dll')
        self.wine(['regsvr32', '/s', '/u', self.win_path(spare / 'qzkdiag.dll')])
        home = self.unix_path(old) / 'QZ' / 'temp' / 'VRNU'

        def restore():
            self.reg_add(VERSION_KEY, 'ProgramFilesDir', 'REG_SZ', old,
                         cleanup=False)
            home.mkdir(parents=True, exist_ok=True)
            if not (home / 'qzkdiag.dll').exists():
                shutil.copyfile(CONTROL, home / 'qzkdiag.dll')
            self.wine(['regsvr32', '/s', self.win_path(home / 'qzkdiag.dll')])
        self.row_cleanup.callback(restore)
        self.reg_delete(VERSION_KEY, 'ProgramFilesDir')

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

    def can_mount(self):
        probe = harness.WINE_ROOT / f'mount-probe-{os.getpid()}'
        probe.mkdir(parents=True, exist_ok=True)
        ok = subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=4k', 'qzprobe',
                             str(probe)], capture_output=True).returncode == 0
        if ok:
            subprocess.run(['umount', str(probe)])
        probe.rmdir()
        return ok

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
