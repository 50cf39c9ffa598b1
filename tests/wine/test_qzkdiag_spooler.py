"""Wine tests of the qzkdiag.dll stand-in: the spooler's classes (printer
drivers, printers and their jobs, ports, monitors, print processors).

Run by hand: python3 tests/wine/test_qzkdiag_spooler.py [-k pattern]
"""

import os
import shutil
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from qzkdiag_case import (DRIVERS_KEY, PRINT_KEY, WINDOWS_KEY,  # noqa: E402
                          DiagTestCase, js_str)


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


if __name__ == '__main__':
    unittest.main()
