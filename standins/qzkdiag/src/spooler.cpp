#include "spooler.h"

#include <winspool.h>

#include "dispatch.h"

namespace qzk {
namespace {

// Runs a winspool Enum* call twice: once for the size, once for the data.
// `call(buffer, size, &needed, &returned)` wraps the actual function.
template <typename Call>
bool enumBuffer(Call call, std::vector<BYTE>* buf, DWORD* count) {
  *count = 0;
  DWORD need = 0, n = 0;
  if (call(nullptr, 0, &need, &n)) return true;  // nothing to list
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || need == 0) return false;
    buf->assign(need, 0);
    if (call(buf->data(), need, &need, &n)) {
      *count = n;
      return true;
    }
  }
  return false;
}

std::wstring text(const wchar_t* s) { return s ? std::wstring(s) : std::wstring(); }

// A double-null terminated list joined by '|'.
std::wstring joinList(const wchar_t* s) {
  std::wstring out;
  for (; s && *s; s += wcslen(s) + 1) {
    if (!out.empty()) out += L'|';
    out += s;
  }
  return out;
}

const wchar_t* envOrNull(const std::wstring& environment) {
  return environment.empty() ? nullptr : environment.c_str();
}

}  // namespace

std::vector<DriverRecord> enumDrivers(const std::wstring& environment) {
  std::vector<DriverRecord> out;
  std::vector<BYTE> buf;
  DWORD count = 0;
  wchar_t* env = const_cast<wchar_t*>(envOrNull(environment));
  for (DWORD level = 3; level >= 2; --level) {
    auto call = [env, level](BYTE* b, DWORD size, DWORD* need, DWORD* n) {
      return EnumPrinterDriversW(nullptr, env, level, b, size, need, n) != 0;
    };
    if (!enumBuffer(call, &buf, &count)) continue;  // try the older level
    for (DWORD i = 0; i < count; ++i) {
      DriverRecord r;
      // Level 3 begins with the level 2 fields.
      const DRIVER_INFO_2W* d2 = reinterpret_cast<const DRIVER_INFO_2W*>(
          buf.data() + i * (level == 3 ? sizeof(DRIVER_INFO_3W) : sizeof(DRIVER_INFO_2W)));
      r.name = text(d2->pName);
      r.version = d2->cVersion;
      r.environment = text(d2->pEnvironment);
      r.driverPath = text(d2->pDriverPath);
      r.dataFile = text(d2->pDataFile);
      r.configFile = text(d2->pConfigFile);
      if (level == 3) {
        const DRIVER_INFO_3W* d3 = reinterpret_cast<const DRIVER_INFO_3W*>(d2);
        r.helpFile = text(d3->pHelpFile);
        r.dependentFiles = joinList(d3->pDependentFiles);
        r.monitorName = text(d3->pMonitorName);
        r.defaultDataType = text(d3->pDefaultDataType);
      }
      out.push_back(r);
    }
    break;
  }
  return out;
}

std::vector<PrinterRecord> enumPrinters() {
  std::vector<PrinterRecord> out;
  std::vector<BYTE> buf;
  DWORD count = 0;
  auto call = [](BYTE* b, DWORD size, DWORD* need, DWORD* n) {
    return EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, b, size, need,
                         n) != 0;
  };
  if (!enumBuffer(call, &buf, &count)) return out;
  const PRINTER_INFO_2W* p = reinterpret_cast<const PRINTER_INFO_2W*>(buf.data());
  for (DWORD i = 0; i < count; ++i, ++p) {
    PrinterRecord r;
    r.name = text(p->pPrinterName);
    r.serverName = text(p->pServerName);
    r.shareName = text(p->pShareName);
    r.portName = text(p->pPortName);
    r.driverName = text(p->pDriverName);
    r.comment = text(p->pComment);
    r.location = text(p->pLocation);
    r.printProcessor = text(p->pPrintProcessor);
    r.dataType = text(p->pDatatype);
    r.attributes = p->Attributes;
    r.status = p->Status;
    r.jobs = p->cJobs;
    out.push_back(r);
  }
  return out;
}

std::vector<PortRecord> enumPorts() {
  std::vector<PortRecord> out;
  std::vector<BYTE> buf;
  DWORD count = 0;
  auto call = [](BYTE* b, DWORD size, DWORD* need, DWORD* n) {
    return EnumPortsW(nullptr, 2, b, size, need, n) != 0;
  };
  if (!enumBuffer(call, &buf, &count)) return out;
  const PORT_INFO_2W* p = reinterpret_cast<const PORT_INFO_2W*>(buf.data());
  for (DWORD i = 0; i < count; ++i, ++p) {
    PortRecord r;
    r.name = text(p->pPortName);
    r.monitorName = text(p->pMonitorName);
    r.description = text(p->pDescription);
    r.type = p->fPortType;
    out.push_back(r);
  }
  return out;
}

std::vector<MonitorRecord> enumMonitors() {
  std::vector<MonitorRecord> out;
  std::vector<BYTE> buf;
  DWORD count = 0;
  auto call = [](BYTE* b, DWORD size, DWORD* need, DWORD* n) {
    return EnumMonitorsW(nullptr, 2, b, size, need, n) != 0;
  };
  if (!enumBuffer(call, &buf, &count)) return out;
  const MONITOR_INFO_2W* m = reinterpret_cast<const MONITOR_INFO_2W*>(buf.data());
  for (DWORD i = 0; i < count; ++i, ++m) {
    MonitorRecord r;
    r.name = text(m->pName);
    r.environment = text(m->pEnvironment);
    r.dllName = text(m->pDLLName);
    out.push_back(r);
  }
  return out;
}

std::vector<ProcessorRecord> enumProcessors(const std::wstring& environment) {
  std::vector<ProcessorRecord> out;
  std::vector<BYTE> buf;
  DWORD count = 0;
  wchar_t* env = const_cast<wchar_t*>(envOrNull(environment));
  auto call = [env](BYTE* b, DWORD size, DWORD* need, DWORD* n) {
    return EnumPrintProcessorsW(nullptr, env, 1, b, size, need, n) != 0;
  };
  if (!enumBuffer(call, &buf, &count)) return out;
  const PRINTPROCESSOR_INFO_1W* p = reinterpret_cast<const PRINTPROCESSOR_INFO_1W*>(buf.data());
  for (DWORD i = 0; i < count; ++i, ++p) {
    ProcessorRecord r;
    r.name = text(p->pName);
    out.push_back(r);
  }
  return out;
}

std::vector<JobRecord> enumJobs(const std::wstring& printerName) {
  std::vector<JobRecord> out;
  if (printerName.empty()) return out;
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(printerName.c_str()), &printer, nullptr) || !printer)
    return out;
  std::vector<BYTE> buf;
  DWORD count = 0;
  auto call = [printer](BYTE* b, DWORD size, DWORD* need, DWORD* n) {
    return EnumJobsW(printer, 0, 0xFFFF, 1, b, size, need, n) != 0;
  };
  if (enumBuffer(call, &buf, &count)) {
    const JOB_INFO_1W* j = reinterpret_cast<const JOB_INFO_1W*>(buf.data());
    for (DWORD i = 0; i < count; ++i, ++j) {
      JobRecord r;
      r.name = text(j->pDocument);
      r.jobId = j->JobId;
      r.printerName = text(j->pPrinterName);
      r.machineName = text(j->pMachineName);
      r.userName = text(j->pUserName);
      r.dataType = text(j->pDatatype);
      r.statusText = text(j->pStatus);
      r.status = j->Status;
      r.priority = j->Priority;
      r.position = j->Position;
      r.totalPages = j->TotalPages;
      r.pagesPrinted = j->PagesPrinted;
      out.push_back(r);
    }
  }
  ClosePrinter(printer);
  return out;
}

std::wstring defaultPrinter() {
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buf(size + 1, L'\0');
  if (!GetDefaultPrinterW(buf.data(), &size)) return std::wstring();
  return buf.data();
}

}  // namespace qzk
