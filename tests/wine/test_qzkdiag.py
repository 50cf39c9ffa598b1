"""Wine tests of the qzkdiag.dll stand-in (the scripting diagnostics control).

Each test copies the DLL into a patch folder, registers the copy through its
own DllRegisterServer (regsvr32), runs JScript checks under the 32-bit
console script host and unregisters it again, so the shared prefix is left
as it was found. A check script quits with -1 (255 here) when every check
held, with 1 and the list of failures otherwise; a script that stops on an
error exits 0 under Wine, which fails the test as well.

QZ_QZKDIAG_DLL may name another build of the DLL than out/bin/qzkdiag.dll.
"""

import datetime
import os
import shutil
import sys
import unittest
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


class RegistrationTest(DiagTestCase):
    def test_self_registration_writes_every_class(self):
        names = ','.join(js_str(c) for c in CLASSES)
        self.assertChecks(f'''
var sh = new ActiveXObject("WScript.Shell");
var names = [{names}], seen = {{}};
for (var i = 0; i < names.length; i++) {{
    var progId = "QZKelvaDiags." + names[i];
    var clsid = sh.RegRead("HKCR\\\\" + progId + "\\\\CLSID\\\\");
    ok(progId + " has a CLSID", /^\\{{[0-9A-F-]{{36}}\\}}$/.test(clsid));
    ok(progId + " has its own CLSID", !seen[clsid]);
    seen[clsid] = true;
    var key = "HKCR\\\\CLSID\\\\" + clsid + "\\\\";
    check(progId + " server", sh.RegRead(key + "InprocServer32\\\\").toLowerCase(),
          {js_str(self.win_path(self.dll).lower())});
    check(progId + " threading", sh.RegRead(key + "InprocServer32\\\\ThreadingModel"),
          "Apartment");
    check(progId + " ProgID", sh.RegRead(key + "ProgID\\\\"), progId);
}}
''')

    def test_rule_header_creates_all_objects(self):
        # What a generated rule script does, header first.
        self.assertChecks('''
check("registry object", typeof QZRegUtil.KeyExists("HKLM", "Software"), "boolean");
check("board object", typeof QZSystemBoardInfo.ProcessorCount, "number");
''', header=RULE_HEADER)

    def test_unregister_removes_every_class(self):
        r = self.regsvr32(self.dll, unregister=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        names = ','.join(js_str(c) for c in CLASSES)
        self.assertChecks(f'''
var sh = new ActiveXObject("WScript.Shell");
var names = [{names}];
for (var i = 0; i < names.length; i++) {{
    var progId = "QZKelvaDiags." + names[i];
    throws(progId + " ProgID key", function () {{ sh.RegRead("HKCR\\\\" + progId + "\\\\"); }});
    throws(progId + " creation", function () {{ new ActiveXObject(progId); }});
}}
''')

    def test_dispatch_conventions(self):
        self.assertChecks('''
var os = new ActiveXObject("QZKelvaDiags.QZOperatingSystem");
check("property read and call agree", os.MajorVersion(), os.MajorVersion);
check("names ignore case", os.majorversion, os.MajorVersion);
throws("unknown method", function () { return os.NoSuchMember(); });
throws("read-only property", function () { os.MajorVersion = 3; });
var f = new ActiveXObject("QZKelvaDiags.QZFileUtil");
throws("too few arguments", function () { return f.FileExists(); });
throws("too many arguments", function () { return f.FileExists("a", "b"); });
check("numbers become strings", f.CompareVersions(2, "10"), -1);
''')


class RegistryAndFilesTest(DiagTestCase):
    def test_registry_reading(self):
        key = self.unique_key()
        self.reg_add(key, 'Text', 'REG_SZ', 'hello world')
        self.reg_add(key, None, 'REG_SZ', 'default text')
        self.reg_add(key, 'Expand', 'REG_EXPAND_SZ', '%SystemRoot%\\x')
        self.reg_add(key, 'Number', 'REG_DWORD', '42')
        self.reg_add(key, 'AllOnes', 'REG_DWORD', '0xFFFFFFFF')
        self.reg_add(key, 'Multi', 'REG_MULTI_SZ', 'one\\0two\\0three')
        self.reg_add(key + '\\Alpha', 'x', 'REG_SZ', '1')
        self.reg_add(key + '\\Beta', 'x', 'REG_SZ', '2')
        sub = key.split('\\', 1)[1]
        self.assertChecks(f'''
var r = new ActiveXObject("QZKelvaDiags.QZRegUtil"), k = {js_str(sub)};
check("key", r.KeyExists("HKLM", k), true);
check("long hive name", r.KeyExists("hkey_local_machine", k), true);
check("missing key", r.KeyExists("HKLM", k + "\\\\Nope"), false);
check("bad hive", r.KeyExists("HKXX", k), false);
check("key under HKCU", r.KeyExists("HKCU", "Software\\\\Wine"), true);
check("value", r.ValueExists("HKLM", k, "Number"), true);
check("missing value", r.ValueExists("HKLM", k, "Nope"), false);
check("string", r.ReadString("HKLM", k, "Text"), "hello world");
check("default value", r.ReadString("HKLM", k, ""), "default text");
check("expand string as stored", r.ReadString("HKLM", k, "Expand"), "%SystemRoot%\\\\x");
check("missing string", r.ReadString("HKLM", k, "Nope"), "");
check("string of a DWORD", r.ReadString("HKLM", k, "Number"), "");
check("dword", r.ReadDWORD("HKLM", k, "Number"), 42);
check("dword all ones", r.ReadDWORD("HKLM", k, "AllOnes"), 4294967295);
check("missing dword", r.ReadDWORD("HKLM", k, "Nope"), -1);
check("dword of a string", r.ReadDWORD("HKLM", k, "Text"), -1);
check("multi", r.ReadMultiString("HKLM", k, "Multi"), "one|two|three");
check("multi separator", r.ReadMultiString("HKLM", k, "Multi", ", "), "one, two, three");
check("string of a multi", r.ReadString("HKLM", k, "Multi"), "one");
check("type sz", r.GetValueType("HKLM", k, "Text"), 1);
check("type expand", r.GetValueType("HKLM", k, "Expand"), 2);
check("type dword", r.GetValueType("HKLM", k, "Number"), 4);
check("type multi", r.GetValueType("HKLM", k, "Multi"), 7);
check("type missing", r.GetValueType("HKLM", k, "Nope"), -1);
check("subkeys", r.SubKeyCount("HKLM", k), 2);
check("subkeys of missing key", r.SubKeyCount("HKLM", k + "\\\\Nope"), -1);
var names = [r.SubKeyName("HKLM", k, 0), r.SubKeyName("HKLM", k, 1)].sort().join(",");
check("subkey names", names, "Alpha,Beta");
check("subkey past the end", r.SubKeyName("HKLM", k, 2), "");
check("negative index", r.SubKeyName("HKLM", k, -1), "");
''')

    def test_files_and_versions(self):
        text = self.dir / 'plain.txt'
        text.write_text('no version here')
        mtime = datetime.datetime.fromtimestamp(self.dll.stat().st_mtime,
                                                datetime.timezone.utc)
        self.assertChecks(f'''
var f = new ActiveXObject("QZKelvaDiags.QZFileUtil");
var dll = {js_str(self.win_path(self.dll))}, dir = {js_str(self.win_path(self.dir))};
var txt = {js_str(self.win_path(text))}, none = dir + "\\\\missing.dll";
check("file", f.FileExists(dll), true);
check("folder is no file", f.FileExists(dir), false);
check("missing file", f.FileExists(none), false);
check("empty path", f.FileExists(""), false);
check("folder", f.FolderExists(dir), true);
check("file is no folder", f.FolderExists(dll), false);
check("file version", f.GetFileVersion(dll), "1.2.3.4");
check("product version", f.GetProductVersion(dll), "1.2.0.0");
check("no version resource", f.GetFileVersion(txt), "");
check("missing file version", f.GetFileVersion(none), "");
check("size", f.GetFileSize(dll), {self.dll.stat().st_size});
check("missing size", f.GetFileSize(none), -1);
check("date", f.GetFileDate(dll), "{mtime:%Y-%m-%d %H:%M:%S}");
check("missing date", f.GetFileDate(none), "");
check("newer part", f.CompareVersions("1.10", "1.9"), 1);
check("older", f.CompareVersions("2.0", "10.0"), -1);
check("missing parts are zero", f.CompareVersions("1.2", "1.2.0.0"), 0);
check("longer is newer", f.CompareVersions("5.1.2600", "5.1.2600.1"), -1);
check("equal", f.CompareVersions("6.1.7601.17514", "6.1.7601.17514"), 0);
check("compare with file", f.CompareVersions(f.GetFileVersion(dll), "1.2.3.10"), -1);
check("system folder", f.SystemFolder.toLowerCase(), f.WindowsFolder.toLowerCase() + "\\\\system32");
check("system folder exists", f.FolderExists(f.SystemFolder), true);
check("expand", f.ExpandEnvironment("%SystemRoot%\\\\x").toLowerCase(),
      f.WindowsFolder.toLowerCase() + "\\\\x");
check("temp folder ends in backslash", f.TempFolder.charAt(f.TempFolder.length - 1), "\\\\");
''')

    def test_ini_files(self):
        ini = self.dir / 'setup.ini'
        ini.write_text('[Main]\r\nKey=Value\r\nNum=17\r\nNeg=-3\r\n'
                       '[Other]\r\nEmpty=\r\n')
        self.assertChecks(f'''
var i = new ActiveXObject("QZKelvaDiags.QZIniFileUtil"), f = {js_str(self.win_path(ini))};
check("string", i.ReadString(f, "Main", "Key"), "Value");
check("section case", i.ReadString(f, "main", "key"), "Value");
check("default", i.ReadString(f, "Main", "Nope", "dflt"), "dflt");
check("no default", i.ReadString(f, "Main", "Nope"), "");
check("missing file", i.ReadString(f + ".none", "Main", "Key", "d"), "d");
check("integer", i.ReadInteger(f, "Main", "Num"), 17);
check("negative", i.ReadInteger(f, "Main", "Neg"), -3);
check("integer default", i.ReadInteger(f, "Main", "Nope", 5), 5);
check("key", i.KeyExists(f, "Main", "Key"), true);
check("empty key", i.KeyExists(f, "Other", "Empty"), true);
check("missing key", i.KeyExists(f, "Main", "Nope"), false);
check("sections", i.SectionNames(f), "Main|Other");
check("keys", i.KeyNames(f, "Main"), "Key|Num|Neg");
check("section", i.SectionExists(f, "OTHER"), true);
check("missing section", i.SectionExists(f, "Third"), false);
''')


class SystemTest(DiagTestCase):
    def os_checks(self, version, build, platform, product, pack, server):
        return f'''
var os = new ActiveXObject("QZKelvaDiags.QZOperatingSystem");
var v = {js_str(version)}.split(".");
check("version", os.VersionString, {js_str(version)} + ".{build}");
check("major", os.MajorVersion, Number(v[0]));
check("minor", os.MinorVersion, Number(v[1]));
check("build", os.BuildNumber, {build});
check("platform", os.PlatformId, {platform});
check("product type", os.ProductType, {product});
check("server", os.IsServer, {'true' if server else 'false'});
check("service pack", os.ServicePack, "Service Pack {pack}");
check("service pack major", os.ServicePackMajor, {pack});
check("at least itself", os.IsAtLeast(Number(v[0]), Number(v[1]), {build}), true);
check("at least 5.0", os.IsAtLeast(5), true);
check("not the next build", os.IsAtLeast(Number(v[0]), Number(v[1]), {build + 1}), false);
check("not 6.2", os.IsAtLeast(6, 2), false);
check("64-bit", os.Is64Bit, {'false' if self.prefix32 else 'true'});
check("language", typeof os.SystemLanguage, "number");
'''

    def test_operating_system_versions(self):
        # Wine's answers per version setting. An explicit "win7" reports a
        # server product type there, so 6.1 is checked as the prefix default.
        # The default first: the settings are restored only after the test.
        cases = ((None, '6.1', 7601, 1, 1, False),
                 ('win2k', '5.0', 2195, 1, 4, False),
                 ('winxp', '5.1', 2600, 1, 3, False),
                 ('win2003', '5.2', 3790, 3, 2, True))
        for setting, version, build, product, pack, server in cases:
            with self.subTest(setting or 'default'):
                if setting:
                    self.set_windows_version(setting)
                elif self.reg_query('HKCU\\Software\\Wine', 'Version',
                                    view=None) is not None:
                    continue  # the prefix has a version of its own set
                self.assertChecks(self.os_checks(version, build, 2, product,
                                                 pack, server))

    def test_machine_drives_and_services(self):
        self.assertChecks(f'''
var sh = new ActiveXObject("WScript.Shell");
var b = new ActiveXObject("QZKelvaDiags.QZSystemBoardInfo");
check("computer name", b.ComputerName, sh.RegRead(
      "HKLM\\\\System\\\\CurrentControlSet\\\\Control\\\\ComputerName\\\\ComputerName\\\\ComputerName"));
ok("user name", b.UserName.length > 0);
ok("processors", b.ProcessorCount >= 1);
check("architecture", b.ProcessorArchitecture, {0 if self.prefix32 else 9});
// Byte counts as a number; what a 32-bit process is told differs between
// hosts (and under emulation), so only the range is asserted.
ok("memory", typeof b.TotalMemory == "number" && b.TotalMemory > 0 &&
   b.TotalMemory < 1e15 && b.AvailableMemory >= 0 && b.AvailableMemory < 1e15);
check("bios text", typeof b.BiosVersion, "string");
check("manufacturer text", typeof b.SystemManufacturer, "string");
var d = new ActiveXObject("QZKelvaDiags.QZLogicalDriveInfo");
ok("drives " + d.Drives, d.Drives.indexOf("C") >= 0 && d.Drives.indexOf("Z") >= 0);
check("drive count", d.DriveCount, d.Drives.length);
check("fixed drive", d.DriveType("C"), 3);
check("root forms", d.DriveType("c:\\\\"), d.DriveType("C:"));
check("drive exists", d.DriveExists("C:"), true);
ok("free space", d.FreeSpace("C") > 0 && d.FreeSpace("C") <= d.TotalSize("C"));
check("file system", typeof d.FileSystem("C"), "string");
var missing = "";
for (var c = 89; c > 66 && !missing; c--)
    if (d.Drives.indexOf(String.fromCharCode(c)) < 0) missing = String.fromCharCode(c);
check("no such drive", d.DriveExists(missing), false);
check("no such drive type", d.DriveType(missing), 1);
check("no such drive space", d.FreeSpace(missing), -1);
check("no such volume", d.VolumeName(missing), "");
var u = new ActiveXObject("QZKelvaDiags.QZDeviceUtil");
ok("dos device C:", u.QueryDosDevice("C:").length > 0);
check("dos device", u.DosDeviceExists("C:"), true);
check("no dos device", u.DosDeviceExists("QZNOSUCHDEV"), false);
check("service", u.ServiceExists("Spooler"), true);
ok("service state", u.ServiceState("Spooler") >= 1 && u.ServiceState("Spooler") <= 7);
ok("service path", u.ServiceBinaryPath("Spooler").toLowerCase().indexOf("spoolsv.exe") >= 0);
ok("service type", (u.ServiceType("Spooler") & 0x30) != 0);
check("no service", u.ServiceExists("QZNoSuchService"), false);
check("no service state", u.ServiceState("QZNoSuchService"), 0);
check("no service start", u.ServiceStartType("QZNoSuchService"), -1);
check("no service path", u.ServiceBinaryPath("QZNoSuchService"), "");
''')


class SpoolerTest(DiagTestCase):
    """Wine's spooler lists the drivers and printers of the registry, so a
    test can install one of each without a real driver."""

    def add_driver(self, name):
        key = f'{DRIVERS_KEY}\\{name}'
        self.reg_add(key, 'Version', 'REG_DWORD', '3')
        self.reg_add(key, 'Driver', 'REG_SZ', 'qztest.dll')
        self.reg_add(key, 'Data File', 'REG_SZ', 'qztest.ppd')
        self.reg_add(key, 'Configuration File', 'REG_SZ', 'qzui.dll')
        self.reg_add(key, 'Dependent Files', 'REG_MULTI_SZ', 'qzres.dll\\0qz.hlp')
        self.reg_add(key, 'Datatype', 'REG_SZ', 'RAW')
        # The driver file itself, so its version can be read.
        spool = self.prefix / 'drive_c/windows/system32/spool/drivers/w32x86/3'
        spool.mkdir(parents=True, exist_ok=True)
        target = spool / 'qztest.dll'
        if not target.exists():
            shutil.copyfile(self.dll, target)
            self.addCleanup(target.unlink)

    def add_printer(self, name, driver):
        key = f'{PRINT_KEY}\\Printers\\{name}'
        for value, data in (('Name', name), ('Port', 'LPT1:'),
                            ('Printer Driver', driver),
                            ('Share Name', 'qzshare'), ('Location', 'Lab 3'),
                            ('Description', 'fixture printer'),
                            ('Print Processor', 'winprint'),
                            ('Datatype', 'RAW')):
            self.reg_add(key, value, 'REG_SZ', data)
        # Shared (0x8) and local (0x40).
        self.reg_add(key, 'Attributes', 'REG_DWORD', '72')
        old = self.reg_query(WINDOWS_KEY, 'Device', view=None)
        self.reg_add(WINDOWS_KEY, 'Device', 'REG_SZ', f'{name},winspool,LPT1:',
                     view=None, cleanup=False)
        if old is None:
            self.addCleanup(self.reg_delete, WINDOWS_KEY, 'Device', None)
        else:
            self.addCleanup(self.reg_add, WINDOWS_KEY, 'Device', 'REG_SZ', old,
                            None, False)

    def test_printer_drivers(self):
        driver = f'QZ Test Driver {os.getpid()}'
        self.add_driver(driver)
        spool = 'C:\\\\windows\\\\system32\\\\spool\\\\drivers\\\\w32x86\\\\3\\\\'
        self.assertChecks(f'''
var name = {js_str(driver)}, dir = "{spool}".toLowerCase();
var c = new ActiveXObject("QZKelvaDiags.QZPDriversCollection");
ok("count " + c.Count, c.Count >= 1);
check("exists", c.DriverExists(name.toLowerCase()), true);
check("missing", c.DriverExists("QZ No Such Driver"), false);
check("version", c.GetDriverVersion(name), 3);
check("missing version", c.GetDriverVersion("QZ No Such Driver"), -1);
check("path", c.GetDriverPath(name).toLowerCase(), dir + "qztest.dll");
check("file version", c.GetDriverFileVersion(name), "1.2.3.4");
check("missing file version", c.GetDriverFileVersion("QZ No Such Driver"), "");
ok("names", ("|" + c.Names + "|").indexOf("|" + name + "|") >= 0);
var found = null;
for (var i = 0; i < c.Count; i++) if (c.Item(i).Name == name) found = c.Item(i);
ok("item", found != null);
check("item version", found && found.Version, 3);
check("past the end", c.Item(c.Count).IsOpen, false);
check("empty item name", c.Item(c.Count).Name, "");
check("refresh", c.Refresh(), c.Count);
var r = new ActiveXObject("QZKelvaDiags.QZPDriverRead");
check("closed", r.IsOpen, false);
check("closed name", r.Name, "");
check("open", r.Open(name), true);
check("name", r.Name, name);
check("driver version", r.Version, 3);
check("environment", r.Environment, "Windows NT x86");
check("driver path", r.DriverPath.toLowerCase(), dir + "qztest.dll");
check("data file", r.DataFile.toLowerCase(), dir + "qztest.ppd");
check("config file", r.ConfigFile.toLowerCase(), dir + "qzui.dll");
check("dependent files", r.DependentFiles.toLowerCase(), dir + "qzres.dll|" + dir + "qz.hlp");
check("data type", r.DefaultDataType, "RAW");
check("driver file version", r.FileVersion, "1.2.3.4");
check("open in its environment", r.Open(name, "Windows NT x86"), true);
check("open missing", r.Open("QZ No Such Driver"), false);
check("closed again", r.IsOpen, false);
check("cleared", r.DriverPath, "");
''')

    def test_printers_and_jobs(self):
        printer = f'QZ Test Printer {os.getpid()}'
        self.add_driver(f'QZ Test Driver {os.getpid()}')
        self.add_printer(printer, f'QZ Test Driver {os.getpid()}')
        self.assertChecks(f'''
var name = {js_str(printer)};
var c = new ActiveXObject("QZKelvaDiags.QZPrintersCollection");
ok("count " + c.Count, c.Count >= 1);
check("exists", c.PrinterExists(name.toUpperCase()), true);
check("missing", c.PrinterExists("QZ No Such Printer"), false);
check("driver", c.GetPrinterDriver(name), {js_str(f'QZ Test Driver {os.getpid()}')});
check("port", c.GetPrinterPort(name), "LPT1:");
check("default", c.DefaultPrinter, name);
var found = null;
for (var i = 0; i < c.Count; i++) if (c.Item(i).Name == name) found = c.Item(i);
check("item default", found && found.IsDefault, true);
check("past the end", c.Item(-1).IsOpen, false);
var p = new ActiveXObject("QZKelvaDiags.QZPrinterRead");
check("not default when closed", p.IsDefault, false);
check("open", p.Open(name), true);
check("port name", p.PortName, "LPT1:");
check("share", p.ShareName, "qzshare");
check("location", p.Location, "Lab 3");
check("comment", p.Comment, "fixture printer");
check("processor", p.PrintProcessor, "winprint");
check("attributes", p.Attributes & 0x48, 0x48);
check("shared", p.IsShared, true);
check("local", p.IsLocal, true);
check("network", p.IsNetwork, false);
check("open missing", p.Open("QZ No Such Printer"), false);
check("cleared", p.DriverName, "");
var j = new ActiveXObject("QZKelvaDiags.QZPJobsCollection");
check("no printer, no jobs", j.Count, 0);
check("open queue", j.Open(name), true);
check("queue printer", j.PrinterName, name);
check("empty queue", j.Count, 0);
check("no such document", j.DocumentExists("x"), false);
check("open missing queue", j.Open("QZ No Such Printer"), false);
var jr = new ActiveXObject("QZKelvaDiags.QZPJobRead");
check("no such job", jr.Open(name, 1), false);
check("job id when closed", jr.JobId, 0);
''')

    def test_ports_monitors_processors(self):
        # Wine's own local monitor, its ports and print processors.
        self.assertChecks('''
var ports = new ActiveXObject("QZKelvaDiags.QZPPortsCollection");
check("LPT1", ports.PortExists("lpt1:"), true);
check("no port", ports.PortExists("QZ9:"), false);
ok("port items", ports.Count > 0 && ports.Item(0).Name.length > 0);
var port = new ActiveXObject("QZKelvaDiags.QZPPortRead");
check("open port", port.Open("LPT1:"), true);
check("port name", port.Name, "LPT1:");
ok("port monitor", port.MonitorName.length > 0);
var mons = new ActiveXObject("QZKelvaDiags.QZPMonitorsCollection");
check("local monitor", mons.MonitorExists("Local Port"), true);
ok("monitor items", mons.Count > 0 && mons.Item(0).Name.length > 0);
var mon = new ActiveXObject("QZKelvaDiags.QZPMonitorRead");
check("open monitor", mon.Open("Local Port"), true);
check("monitor dll", mon.DLLName.toLowerCase(), "localspl.dll");
check("open missing monitor", mon.Open("QZ Nothing"), false);
var procs = new ActiveXObject("QZKelvaDiags.QZPProcessorsCollection");
check("winprint", procs.ProcessorExists("WinPrint"), true);
check("processor item", typeof procs.Item(0), "string");
check("processor past the end", procs.Item(procs.Count), "");
check("names", ("|" + procs.Names + "|").indexOf("|winprint|") >= 0, true);
''')


class Win32PrefixTest(SystemTest):
    """The same system checks where the 32-bit process is not under WOW64."""
    prefix32 = True


if __name__ == '__main__':
    unittest.main()
