"""The demo behind `make demo`: installs a sample product in the test prefix,
runs the patch manager on the sample patch (samples/demo-patch) and shows
what a user and an administrator would see: the message boxes and the
restart dialog, the exit code, the log, and what changed on the machine.
With --deploy-only it runs the sample patch through QZVRNDeploy.exe instead,
as a management tool would, and shows its exit code and JSON line.
The sample patch replaces the product's QZZdemo.ini and QZZdemo.dll, backing
both up first, and has the DLL registered; QZZdemo.dll is the test fixture
qzregprobe.dll, which records the program that registered it beside itself.

  python3 tests/wine/demo.py [--token QZSU] [--press later] [--lang de_DE.UTF-8]
                             [--reboot-flag 0|1|2|3] [--deploy-only] [--keep]

--reboot-flag sets the rule file's rebootFlag: 1 or 3 offer the restart
(the robot presses --press), 2 restarts at once (under Wine that ends every
process of the prefix).

Exit code 0 when the program ran to its end (whatever it decided), 1 when
the test bed or the run itself failed (missing program, timeout).
"""

import argparse
import hashlib
import shutil
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

SAMPLE = harness.ROOT / 'samples' / 'demo-patch'
PRODUCT_KEY = 'HKLM\\SOFTWARE\\QZ\\QZ Demo Driver'
PENDING_KEY = 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager'
CONTROL_PROGID = 'HKCR\\QZKelvaDiags.QZRegUtil'
OLD_INI = b'[QZ Demo Driver]\r\nVersion=1.0\r\n'
OLD_DLL = b'QZZdemo.dll 1.0 (stands for the installed COM server)'
SERVER = harness.TOOLS / 'qzregprobe.dll'
BACKED_UP = 'CVRNManager:Cleanup - Delete backup folder file:'


def snapshot(folder):
    """name -> (size, sha1, text if small) for every file below folder."""
    files = {}
    for p in sorted(folder.rglob('*')):
        if p.is_file():
            data = p.read_bytes()
            text = data.decode('latin-1') if len(data) < 400 else None
            files[str(p.relative_to(folder))] = (
                len(data), hashlib.sha1(data).hexdigest()[:12], text)
    return files


def print_changes(title, before, after):
    print(f'\n== {title}')
    changed = False
    for name in sorted(set(before) | set(after)):
        old, new = before.get(name), after.get(name)
        if old == new:
            continue
        changed = True
        if old is None:
            print(f'  added    {name} ({new[0]} bytes)')
        elif new is None:
            print(f'  removed  {name}')
        else:
            print(f'  changed  {name} ({old[0]} -> {new[0]} bytes)')
        if new is not None and new[2] is not None:
            for line in new[2].splitlines():
                print(f'           | {line}')
    if not changed:
        print('  (nothing changed)')


class Demo(harness.WineTestCase):
    options = None

    def check_patch(self, patch):
        """The patch checker's verdict on the folder, before the run."""
        checker = harness.BIN / 'QZVRNCheck.exe'
        print(f'\n== patch check: QZVRNCheck.exe {self.win_path(patch)}')
        if not checker.exists():
            print(f'  ({checker} is missing: run make build)')
            return
        r = self.wine([self.win_path(checker), self.win_path(patch)], timeout=120)
        for line in (r.stdout + r.stderr).splitlines():
            if line.strip():
                print(f'  {line}')
        verdict = {0: 'clean', 1: 'warnings only', 2: 'errors'}
        print(f'  verdict: {verdict.get(r.returncode, "checker failed")} '
              f'(exit {r.returncode})\n')

    def fill_patch(self, patch, extra=()):
        """The sample patch, the control, the stand-in server and the
        manager (and `extra` programs of out/bin) in `patch`."""
        o = self.options
        for f in SAMPLE.iterdir():
            shutil.copyfile(f, patch / f.name)
        if o.reboot_flag is not None:
            rules = patch / 'QZVRN_Rules.xml'
            rules.write_text(rules.read_text().replace(
                '<rebootFlag>0</rebootFlag>',
                f'<rebootFlag>{o.reboot_flag}</rebootFlag>'))
        dll = harness.BIN / 'qzkdiag.dll'
        if dll.exists():
            shutil.copyfile(dll, patch / dll.name)
        else:
            print(f'note: {dll} is missing; the rules cannot use the control')
        if not SERVER.exists():
            self.fail(f'{SERVER} is missing: run make build')
        shutil.copyfile(SERVER, patch / 'QZZdemo.dll')
        for name in (harness.PRODUCT,) + tuple(extra):
            if not (harness.BIN / name).exists():
                self.fail(f'{harness.BIN / name} is missing: run make build')
            shutil.copyfile(harness.BIN / name, patch / name)
        return patch

    def deploy(self):
        """The same patch once more, the way a management tool runs it."""
        patch = self.fill_patch(self.patch_dir('demo-deploy'), ['QZVRNDeploy.exe'])
        logs = self.patch_dir('demo-deploy-logs')
        tail = f'/log {self.win_path(logs)}'
        print(f'== the sample patch once more, as a management tool runs it: '
              f'QZVRNDeploy.exe {tail}')
        run = self.run_program(patch / 'QZVRNDeploy.exe', tail, cwd=patch,
                               press=self.options.press, timeout=self.options.timeout)
        if run.timed_out:
            self.fail(f'QZVRNDeploy.exe did not end{run.describe()}')
        print(f'  exit code: {run.exit_code}')
        for f in sorted(logs.iterdir()):
            print(f'  {self.win_path(f)} ({f.stat().st_size} bytes)')
            if f.suffix == '.json':
                print(f'  {f.read_text(encoding="utf-8").strip()}')
        if not any(f.suffix == '.json' for f in logs.iterdir()):
            self.fail(f'QZVRNDeploy.exe wrote no JSON line{run.describe()}')

    def runTest(self):
        o = self.options
        if not (harness.BIN / harness.PRODUCT).exists():
            self.fail(f'{harness.BIN / harness.PRODUCT} is missing: run make build')
        # The installed product: a folder with the old file, named by the
        # registry value the configuration points at (32-bit view).
        program_files = self.prefix / 'drive_c' / 'Program Files (x86)'
        if not program_files.exists():
            program_files = self.prefix / 'drive_c' / 'Program Files'
        install = program_files / 'QZ Demo Driver'
        shutil.rmtree(install, ignore_errors=True)
        install.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, install, True)
        (install / 'QZZdemo.ini').write_bytes(OLD_INI)
        (install / 'QZZdemo.dll').write_bytes(OLD_DLL)
        self.reg_add(PRODUCT_KEY, 'InstallDir', 'REG_SZ', self.win_path(install))
        if o.deploy_only:
            self.deploy()
            return

        patch = self.fill_patch(self.patch_dir('demo-patch'))

        print(f'== installed product: {self.win_path(install)} '
              f'(registry {PRODUCT_KEY} InstallDir, 32-bit view)')
        print(f'== patch folder: {self.win_path(patch)}')
        for name in sorted(p.name for p in patch.iterdir()):
            print(f'  {name}')
        self.check_patch(patch)
        # Where the manager copies the control when a rule needs it.
        control_dir = program_files / 'QZ' / 'temp' / 'VRNU'
        registered = self.wine(['reg', 'query', CONTROL_PROGID, '/reg:32'])
        if registered.returncode != 0 and (patch / 'qzkdiag.dll').exists():
            # Leave the shared prefix without the registration, as found.
            spare = self.patch_dir('demo-unregister')
            shutil.copyfile(patch / 'qzkdiag.dll', spare / 'qzkdiag.dll')
            self.addCleanup(self.wine, ['regsvr32', '/s', '/u',
                                        self.win_path(spare / 'qzkdiag.dll')])
        before_install, before_patch = snapshot(install), snapshot(patch)
        before_control = snapshot(control_dir) if control_dir.exists() else {}
        pending_before = self.reg_query(PENDING_KEY, 'PendingFileRenameOperations',
                                        view=64)

        run = self.run_manager(o.token, cwd=patch, copy=False,
                               exe=patch / harness.PRODUCT, press=o.press,
                               lang=o.lang, timeout=o.timeout)
        # Regsvr32 runs on after the manager; give it a moment to record.
        registering = any(line[0] == 'CVRNManager:RegisterCOMDLLS' and
                          line[1].startswith('Regsvr32') for line in run.log_lines)
        deadline = time.monotonic() + 10 * harness.time_scale()
        while (registering and time.monotonic() < deadline and
               not (install / 'QZZdemo.dll.registered').exists()):
            time.sleep(0.05)
        cmdline = next((r[1] for r in run.transcript if r[0] == 'cmdline'), '')
        print(f'\n== ran: {cmdline}  (cwd {self.win_path(patch)}, LANG {o.lang})')
        print('\n== message boxes')
        for caption, text, buttons in run.box_records:
            print(f'  [{caption}] {text!r}  buttons: {buttons}')
        if not run.box_records:
            print('  (none)')
        print('\n== restart dialog')
        for caption, question, now, later in run.dialogs:
            print(f'  [{caption}] {question!r}  buttons: {now!r} / {later!r}')
        if run.dialogs:
            print(f'  pressed: {run.presses[-1]}')
        else:
            print('  (not shown)')
        for cls, caption in run.windows:
            print(f'  other window: {cls} {caption!r}')
        if run.timed_out:
            self.fail(f'the program did not end within {o.timeout} s{run.describe()}')
        exit_text = ('none: every process of the prefix was ended'
                     if run.exit_code is None else str(run.exit_code))
        print(f'\n== exit code: {exit_text}')
        print(f'\n== log {self.win_path(self.log_path)}')
        if run.log_bytes is None:
            print('  (no log written)')
        else:
            for line in run.log_text.split('\r\n'):
                if line:
                    print(f'  {line}')
        print('\n== backup folder (made by the run, emptied by its cleanup)')
        backed_up = [line[1] for line in run.log_lines if line[0] == BACKED_UP]
        for path in backed_up:
            print(f'  {path}')
        if not backed_up:
            print('  (nothing backed up)')
        print_changes('install folder', before_install, snapshot(install))
        print_changes('patch folder', before_patch, snapshot(patch))
        after_control = snapshot(control_dir) if control_dir.exists() else {}
        if after_control != before_control:
            print_changes(f'control folder {self.win_path(control_dir)}',
                          before_control, after_control)
        rc = patch / 'QZVRN_Returncode.txt'
        print('\n== return-code file: ' +
              (repr(rc.read_bytes()) if rc.exists() else '(none)'))
        pending = self.reg_query(PENDING_KEY, 'PendingFileRenameOperations',
                                 view=64)
        if pending != pending_before:
            print(f'== replacements queued for the restart: {pending}')
        if o.keep:
            self._cleanups.clear()
            print(f'\n(kept {self.win_path(patch)} and {self.win_path(install)})')


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--token', default='QZSU')
    ap.add_argument('--press', default='later',
                    choices=('ok', 'now', 'later', 'close', 'none'))
    ap.add_argument('--lang', default=harness.DEFAULT_LANG)
    ap.add_argument('--timeout', type=float, default=60)
    ap.add_argument('--reboot-flag', choices=('0', '1', '2', '3'))
    ap.add_argument('--deploy-only', action='store_true',
                    help='only the run through QZVRNDeploy.exe, on a fresh product')
    ap.add_argument('--keep', action='store_true',
                    help='leave the folders and the registry value behind')
    Demo.options = ap.parse_args()
    return harness.run_standalone(Demo)


if __name__ == '__main__':
    sys.exit(main())
