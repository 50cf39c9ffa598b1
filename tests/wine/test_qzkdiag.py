"""Wine tests of the qzkdiag.dll stand-in: its registration of every class,
the rule header that creates them, unregistration and the dispatch
conventions. The other classes: test_qzkdiag_*.py; what they share:
qzkdiag_case.py.

Run by hand: python3 tests/wine/test_qzkdiag.py [-k pattern]
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from qzkdiag_case import CLASSES, RULE_HEADER, DiagTestCase, js_str  # noqa: E402


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


if __name__ == '__main__':
    unittest.main()
