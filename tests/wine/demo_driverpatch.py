"""The driver patch's part of `make demo`: installs the stand-in service
"TXL Driver QZZ12" from a folder of its own, starts a device window, runs
"TXLDriverPatch.exe /silent" from a patch folder that holds the new
QZZipm12.exe, and shows what changed: the three copies of the executable,
the service, the signals the device window got, the exit code and the
return-code file.

  python3 tests/wine/demo_driverpatch.py [--interactive] [--hold]
                                         [--press later|esc|now]

--interactive leaves out "/silent" (the robot answers boxes and the restart
dialog with --press); --hold keeps the installed executable open so that
its copy fails and the replacement waits for a restart.

Exit code 0 when the driver patch ran to its end, 1 when the test bed or
the run failed.
"""

import argparse
import hashlib
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402
from driverpatch_bed import (RETURN_CODE, SESSION_MANAGER,  # noqa: E402
                             DriverPatchBed)


def describe(path, old, new):
    if not path.exists():
        return '(missing)'
    data = path.read_bytes()
    which = 'new' if data == new else 'old' if data == old else 'other'
    return f'{which} ({len(data)} bytes, sha1 {hashlib.sha1(data).hexdigest()[:12]})'


class Demo(DriverPatchBed, harness.WineTestCase):
    options = None

    def runTest(self):
        o = self.options
        record = self.start_device_window()
        exe = self.install_service()
        targets = (('service target', exe), ('system target', self.system_target),
                   ('driver target', self.driver_target))
        print(f'== service "TXL Driver QZZ12" installed from {self.win_path(exe)}: '
              f'{self.service_state()}')
        print(f'== patch folder {self.win_path(self.patch)}: '
              + ', '.join(sorted(p.name for p in self.patch.iterdir())))
        print('== before')
        for name, path in targets:
            print(f'  {name:15} {self.win_path(path)}: {describe(path, self.source, self.new)}')
        if o.hold:
            self.hold(exe)
            print(f'== {self.win_path(exe)} held open: its copy will fail')

        tail = '' if o.interactive else '/silent'
        run = self.run_patch(tail, press=o.press)
        cmdline = next((r[1] for r in run.transcript if r[0] == 'cmdline'), '')
        print(f'\n== ran: {cmdline}')
        for caption, text, buttons in run.box_records:
            print(f'  box [{caption}] {text!r}  buttons: {buttons}')
        for caption, question, now, later in run.dialogs:
            print(f'  restart dialog [{caption}] {question!r}  buttons: {now!r} / {later!r}'
                  f'  pressed: {run.presses[-1]}')
        if not (run.box_records or run.dialogs):
            print('  (no box, no dialog)')
        if run.timed_out:
            self.fail(f'the driver patch did not end{run.describe()}')
        print(f'== exit code: {run.exit_code}')
        print('\n== after')
        for name, path in targets:
            print(f'  {name:15} {self.win_path(path)}: {describe(path, self.source, self.new)}')
        self.wait_state('RUNNING', 5)
        print(f'  service state: {self.service_state()}')
        for line in self.service_log(exe) + self.service_log(self.patch / 'QZZipm12.exe'):
            print(f'  | QZZipm12.log: {line}')
        print('== the device window got:')
        for line in record.read_text().splitlines()[1:]:
            print(f'  | {line}')
        rc = self.patch / RETURN_CODE
        print('== return-code file: ' + (repr(rc.read_bytes()) if rc.exists() else '(none)'))
        pending = self.reg_query(SESSION_MANAGER, 'PendingFileRenameOperations', view=None)
        if pending:
            print(f'== replacements queued for the restart: {pending}')


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--interactive', action='store_true')
    ap.add_argument('--hold', action='store_true')
    ap.add_argument('--press', default='later', choices=('later', 'esc', 'now', 'ok'))
    Demo.options = ap.parse_args()
    return harness.run_standalone(Demo)


if __name__ == '__main__':
    sys.exit(main())
