// Snapshots of the print spooler's lists (drivers, printers, ports,
// monitors, print processors, jobs), copied out of the winspool buffers so
// that script objects can keep them. Every function returns an empty list
// when the spooler cannot answer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dispatch.h"

namespace qzk {

struct DriverRecord {
  std::wstring name;
  DWORD version = 0;  // cVersion: 2 for NT 4 kernel-mode, 3 for user-mode drivers
  std::wstring environment;
  std::wstring driverPath;
  std::wstring dataFile;
  std::wstring configFile;
  std::wstring helpFile;
  std::wstring dependentFiles;  // joined by '|'
  std::wstring monitorName;
  std::wstring defaultDataType;
};

struct PrinterRecord {
  std::wstring name;
  std::wstring serverName;
  std::wstring shareName;
  std::wstring portName;
  std::wstring driverName;
  std::wstring comment;
  std::wstring location;
  std::wstring printProcessor;
  std::wstring dataType;
  DWORD attributes = 0;
  DWORD status = 0;
  DWORD jobs = 0;
};

struct PortRecord {
  std::wstring name;
  std::wstring monitorName;
  std::wstring description;
  DWORD type = 0;
};

struct MonitorRecord {
  std::wstring name;
  std::wstring environment;
  std::wstring dllName;
};

struct ProcessorRecord {
  std::wstring name;
};

struct JobRecord {
  std::wstring name;  // the document name
  DWORD jobId = 0;
  std::wstring printerName;
  std::wstring machineName;
  std::wstring userName;
  std::wstring dataType;
  std::wstring statusText;
  DWORD status = 0;
  DWORD priority = 0;
  DWORD position = 0;
  DWORD totalPages = 0;
  DWORD pagesPrinted = 0;
};

// `environment` "" means this system's own, e.g. "Windows NT x86".
std::vector<DriverRecord> enumDrivers(const std::wstring& environment);
// Local printers and printer connections.
std::vector<PrinterRecord> enumPrinters();
std::vector<PortRecord> enumPorts();
std::vector<MonitorRecord> enumMonitors();
std::vector<ProcessorRecord> enumProcessors(const std::wstring& environment);
std::vector<JobRecord> enumJobs(const std::wstring& printerName);
// "" when there is none.
std::wstring defaultPrinter();

// The first record whose name matches, ignoring case; nullptr when none does.
template <typename Record>
const Record* findByName(const std::vector<Record>& records, const std::wstring& name) {
  for (const Record& r : records)
    if (sameText(r.name, name)) return &r;
  return nullptr;
}

}  // namespace qzk
