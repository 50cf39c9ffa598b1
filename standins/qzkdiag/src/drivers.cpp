// QZPDriverRead and QZPDriversCollection: installed printer drivers.
#include "classes.h"
#include "spooler_objects.h"
#include "version_info.h"

namespace qzk {
namespace {

class DriverRead : public RecordReader<DriverRecord> {
 public:
  explicit DriverRead(const DriverRecord* record) : RecordReader(record) {
    // Open(name [, environment]): reads the named driver; false when absent.
    member(L"Open", 1, 2, [this](const Args& a, Result& r) {
      std::vector<DriverRecord> all = enumDrivers(a.str(1));
      show(findByName(all, a.str(0)));
      r.boolean(open_);
    });
    text(L"Name", &DriverRecord::name);
    number(L"Version", &DriverRecord::version);
    text(L"Environment", &DriverRecord::environment);
    text(L"DriverPath", &DriverRecord::driverPath);
    text(L"DataFile", &DriverRecord::dataFile);
    text(L"ConfigFile", &DriverRecord::configFile);
    text(L"HelpFile", &DriverRecord::helpFile);
    text(L"DependentFiles", &DriverRecord::dependentFiles);
    text(L"MonitorName", &DriverRecord::monitorName);
    text(L"DefaultDataType", &DriverRecord::defaultDataType);
    property(L"FileVersion",
             [this](const Args&, Result& r) { r.str(fileVersionOf(record_.driverPath)); });
  }
};

IDispatch* newDriverRead(const DriverRecord* record) { return new DriverRead(record); }

class DriversCollection : public RecordCollection<DriverRecord> {
 public:
  DriversCollection()
      : RecordCollection(
            L"DriverExists", [](const std::wstring& env) { return enumDrivers(env); },
            [](const DriverRecord* rec, Result& r) { r.object(newDriverRead(rec)); }) {
    member(L"GetDriverVersion", 1, 1, [this](const Args& a, Result& r) {
      const DriverRecord* d = find(a.str(0));
      r.num(d ? static_cast<double>(d->version) : -1.0);
    });
    member(L"GetDriverPath", 1, 1, [this](const Args& a, Result& r) {
      const DriverRecord* d = find(a.str(0));
      r.str(d ? d->driverPath : std::wstring());
    });
    member(L"GetDriverFileVersion", 1, 1, [this](const Args& a, Result& r) {
      const DriverRecord* d = find(a.str(0));
      r.str(d ? fileVersionOf(d->driverPath) : std::wstring());
    });
  }
};

}  // namespace

IDispatch* CreateDriverRead() { return newDriverRead(nullptr); }
IDispatch* CreateDriversCollection() { return new DriversCollection(); }

}  // namespace qzk
