"""Wine tests of the qzkdiag.dll stand-in: the operating system, the
machine, its drives and services (QZOperatingSystem, QZSystemBoardInfo,
QZLogicalDriveInfo, QZDeviceUtil), in the 64-bit prefix and in the
32-bit one.

Run by hand: python3 tests/wine/test_qzkdiag_system.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from qzkdiag_case import DiagTestCase, js_str  # noqa: E402


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


class Win32PrefixTest(SystemTest):
    """The same system checks where the 32-bit process is not under WOW64."""
    prefix32 = True


if __name__ == '__main__':
    unittest.main()
