"""What the Wine tests of the qzkdiag.dll stand-in (the scripting
diagnostics control) share: the control's classes, the rule header, the
check prelude and DiagTestCase.

Each test copies the DLL into a patch folder, registers the copy through its
own DllRegisterServer (regsvr32), runs JScript checks under the 32-bit
console script host and unregisters it again, so the shared prefix is left
as it was found. A check script quits with -1 (255 here) when every check
held, with 1 and the list of failures otherwise; a script that stops on an
error exits 0 under Wine, which fails the test as well.

QZ_QZKDIAG_DLL may name another build of the DLL than out/bin/qzkdiag.dll.
"""

import os
import shutil
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

DLL = Path(os.environ.get('QZ_QZKDIAG_DLL', harness.BIN / 'qzkdiag.dll'))

CLASSES = (
    'QZRegUtil', 'QZFileUtil', 'QZIniFileUtil', 'QZOperatingSystem',
    'QZDeviceUtil', 'QZLogicalDriveInfo', 'QZPDriverRead',
    'QZPDriversCollection', 'QZPJobRead', 'QZPJobsCollection',
    'QZPMonitorRead', 'QZPMonitorsCollection', 'QZPPortRead',
    'QZPPortsCollection', 'QZPProcessorsCollection', 'QZPrinterRead',
    'QZPrintersCollection', 'QZSystemBoardInfo')

# The header every generated rule script starts with: the objects exist
# under their class names.
RULE_HEADER = ''.join(
    f'var {c} = new ActiveXObject("QZKelvaDiags.{c}"); \n' +
    ('\n' if c == 'QZOperatingSystem' else '') for c in CLASSES)

PRELUDE = r'''
var failures = [];
function check(what, got, want) {
    if (got !== want)
        failures.push(what + ": got [" + got + "] (" + typeof got +
                      "), want [" + want + "] (" + typeof want + ")");
}
function ok(what, cond) { if (!cond) failures.push(what); }
function throws(what, fn) {
    try { fn(); } catch (e) { return; }
    failures.push(what + ": no error");
}
function finish() {
    if (failures.length) { WScript.Echo(failures.join("\n")); WScript.quit(1); }
    WScript.quit(-1);
}
'''

PRINT_KEY = 'HKLM\\System\\CurrentControlSet\\Control\\Print'
DRIVERS_KEY = PRINT_KEY + '\\Environments\\Windows NT x86\\Drivers\\Version-3'
WINDOWS_KEY = 'HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows'


def js_str(text):
    """A JScript string literal."""
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


class DiagTestCase(harness.WineTestCase):
    """Registers a private copy of the control for each test."""

    def setUp(self):
        super().setUp()
        if not DLL.exists():
            self.fail(f'{DLL} is missing: build it first (make build)')
        self.dir = self.patch_dir()
        self.dll = self.dir / 'qzkdiag.dll'
        shutil.copyfile(DLL, self.dll)
        self._restore_registration()
        self.regsvr32(self.dll)
        self.addCleanup(self.regsvr32, self.dll, True)
        system = 'syswow64' if (self.prefix / 'drive_c' / 'windows' /
                                'syswow64' / 'cscript.exe').exists() \
            else 'system32'
        # The 32-bit host: what the manager's system32 path reaches under WOW64.
        self.cscript = f'C:\\windows\\{system}\\cscript.exe'

    def _restore_registration(self):
        """A control registered before the test is registered again after it."""
        def default(key):
            r = self.wine(['reg', 'query', key, '/ve', '/reg:32'])
            return next((ln.split('REG_SZ', 1)[1].strip()
                         for ln in r.stdout.splitlines() if 'REG_SZ' in ln),
                        None)
        clsid = default('HKCR\\QZKelvaDiags.QZRegUtil\\CLSID')
        path = clsid and default(f'HKCR\\CLSID\\{clsid}\\InprocServer32')
        if path:
            self.addCleanup(self.wine, ['regsvr32', '/s', path])

    def regsvr32(self, dll, unregister=False):
        args = ['regsvr32', '/s'] + (['/u'] if unregister else [])
        r = self.wine(args + [self.win_path(dll)])
        if r.returncode != 0 and not unregister:
            self.fail(f'regsvr32 {dll} failed ({r.returncode}): {r.stderr}')
        return r

    def run_js(self, body, header=''):
        script = self.dir / 'check.js'
        # A script error would end the host with 0 and say nothing.
        script.write_text(header + PRELUDE + 'try {\n' + body +
                          '\n} catch (e) { failures.push("stopped: " + '
                          '(e.description || e.message || e)); }\nfinish();\n',
                          encoding='latin-1')
        return self.wine([self.cscript, '//nologo', self.win_path(script)],
                         cwd=self.dir)

    def assertChecks(self, body, header=''):
        r = self.run_js(body, header)
        self.assertEqual(r.returncode, 255,
                         f'script failed ({r.returncode}):\n{r.stdout}{r.stderr}')
