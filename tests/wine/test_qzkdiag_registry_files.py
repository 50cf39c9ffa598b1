"""Wine tests of the qzkdiag.dll stand-in: the registry, file, version and
INI-file classes (QZRegUtil, QZFileUtil, QZIniFileUtil).

Run by hand: python3 tests/wine/test_qzkdiag_registry_files.py [-k pattern]
"""

import datetime
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from qzkdiag_case import DiagTestCase, js_str  # noqa: E402


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


if __name__ == '__main__':
    unittest.main()
