"""The rows of the fault matrix (test_fault_matrix.py): each row's fault,
and the log entries, boxes, exit code and destination bytes it must give.
"""

import shutil
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import MSG3_EN  # noqa: E402

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
