// Ports, port monitors and print processors of the local spooler:
// QZPPortRead, QZPPortsCollection, QZPMonitorRead, QZPMonitorsCollection
// and QZPProcessorsCollection.
#include "classes.h"
#include "spooler_objects.h"

namespace qzk {
namespace {

class PortRead : public RecordReader<PortRecord> {
 public:
  explicit PortRead(const PortRecord* record) : RecordReader(record) {
    member(L"Open", 1, 1, [this](const Args& a, Result& r) {
      std::vector<PortRecord> all = enumPorts();
      show(findByName(all, a.str(0)));
      r.boolean(open_);
    });
    text(L"Name", &PortRecord::name);
    text(L"MonitorName", &PortRecord::monitorName);
    text(L"Description", &PortRecord::description);
    number(L"PortType", &PortRecord::type);
  }
};

IDispatch* newPortRead(const PortRecord* record) { return new PortRead(record); }

class PortsCollection : public RecordCollection<PortRecord> {
 public:
  PortsCollection()
      : RecordCollection(
            L"PortExists", [](const std::wstring&) { return enumPorts(); },
            [](const PortRecord* rec, Result& r) { r.object(newPortRead(rec)); }) {}
};

class MonitorRead : public RecordReader<MonitorRecord> {
 public:
  explicit MonitorRead(const MonitorRecord* record) : RecordReader(record) {
    member(L"Open", 1, 1, [this](const Args& a, Result& r) {
      std::vector<MonitorRecord> all = enumMonitors();
      show(findByName(all, a.str(0)));
      r.boolean(open_);
    });
    text(L"Name", &MonitorRecord::name);
    text(L"Environment", &MonitorRecord::environment);
    text(L"DLLName", &MonitorRecord::dllName);
  }
};

IDispatch* newMonitorRead(const MonitorRecord* record) { return new MonitorRead(record); }

class MonitorsCollection : public RecordCollection<MonitorRecord> {
 public:
  MonitorsCollection()
      : RecordCollection(
            L"MonitorExists", [](const std::wstring&) { return enumMonitors(); },
            [](const MonitorRecord* rec, Result& r) { r.object(newMonitorRead(rec)); }) {}
};

// Items are plain names: a print processor has nothing else to show.
class ProcessorsCollection : public RecordCollection<ProcessorRecord> {
 public:
  ProcessorsCollection()
      : RecordCollection(
            L"ProcessorExists", [](const std::wstring& env) { return enumProcessors(env); },
            [](const ProcessorRecord* rec, Result& r) {
              r.str(rec ? rec->name : std::wstring());
            }) {}
};

}  // namespace

IDispatch* CreatePortRead() { return newPortRead(nullptr); }
IDispatch* CreatePortsCollection() { return new PortsCollection(); }
IDispatch* CreateMonitorRead() { return newMonitorRead(nullptr); }
IDispatch* CreateMonitorsCollection() { return new MonitorsCollection(); }
IDispatch* CreateProcessorsCollection() { return new ProcessorsCollection(); }

}  // namespace qzk
