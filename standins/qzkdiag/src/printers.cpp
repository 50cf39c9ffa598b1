// QZPrinterRead and QZPrintersCollection: local printers and connections.
#include "classes.h"
#include "spooler_objects.h"

namespace qzk {
namespace {

class PrinterRead : public RecordReader<PrinterRecord> {
 public:
  explicit PrinterRead(const PrinterRecord* record) : RecordReader(record) {
    member(L"Open", 1, 1, [this](const Args& a, Result& r) {
      std::vector<PrinterRecord> all = enumPrinters();
      show(findByName(all, a.str(0)));
      r.boolean(open_);
    });
    text(L"Name", &PrinterRecord::name);
    text(L"ServerName", &PrinterRecord::serverName);
    text(L"ShareName", &PrinterRecord::shareName);
    text(L"PortName", &PrinterRecord::portName);
    text(L"DriverName", &PrinterRecord::driverName);
    text(L"Comment", &PrinterRecord::comment);
    text(L"Location", &PrinterRecord::location);
    text(L"PrintProcessor", &PrinterRecord::printProcessor);
    text(L"DataType", &PrinterRecord::dataType);
    number(L"Attributes", &PrinterRecord::attributes);
    number(L"Status", &PrinterRecord::status);
    number(L"Jobs", &PrinterRecord::jobs);
    flag(L"IsShared", &PrinterRecord::attributes, PRINTER_ATTRIBUTE_SHARED);
    flag(L"IsNetwork", &PrinterRecord::attributes, PRINTER_ATTRIBUTE_NETWORK);
    flag(L"IsLocal", &PrinterRecord::attributes, PRINTER_ATTRIBUTE_LOCAL);
    property(L"IsDefault", [this](const Args&, Result& r) {
      r.boolean(open_ && sameText(record_.name, defaultPrinter()));
    });
  }
};

IDispatch* newPrinterRead(const PrinterRecord* record) { return new PrinterRead(record); }

class PrintersCollection : public RecordCollection<PrinterRecord> {
 public:
  PrintersCollection()
      : RecordCollection(
            L"PrinterExists", [](const std::wstring&) { return enumPrinters(); },
            [](const PrinterRecord* rec, Result& r) { r.object(newPrinterRead(rec)); }) {
    property(L"DefaultPrinter", [](const Args&, Result& r) { r.str(defaultPrinter()); });
    member(L"GetPrinterDriver", 1, 1, [this](const Args& a, Result& r) {
      const PrinterRecord* p = find(a.str(0));
      r.str(p ? p->driverName : std::wstring());
    });
    member(L"GetPrinterPort", 1, 1, [this](const Args& a, Result& r) {
      const PrinterRecord* p = find(a.str(0));
      r.str(p ? p->portName : std::wstring());
    });
  }
};

}  // namespace

IDispatch* CreatePrinterRead() { return newPrinterRead(nullptr); }
IDispatch* CreatePrintersCollection() { return new PrintersCollection(); }

}  // namespace qzk
