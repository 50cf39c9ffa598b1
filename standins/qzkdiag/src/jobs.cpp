// QZPJobRead and QZPJobsCollection: the queue of one printer.
#include "classes.h"
#include "spooler_objects.h"

namespace qzk {
namespace {

class JobRead : public RecordReader<JobRecord> {
 public:
  explicit JobRead(const JobRecord* record) : RecordReader(record) {
    // Open(printerName, jobId): false when the printer or the job is not there.
    member(L"Open", 2, 2, [this](const Args& a, Result& r) {
      std::vector<JobRecord> all = enumJobs(a.str(0));
      DWORD id = static_cast<DWORD>(a.num(1));
      const JobRecord* found = nullptr;
      for (const JobRecord& j : all)
        if (j.jobId == id) found = &j;
      show(found);
      r.boolean(open_);
    });
    number(L"JobId", &JobRecord::jobId);
    text(L"Document", &JobRecord::name);
    text(L"PrinterName", &JobRecord::printerName);
    text(L"MachineName", &JobRecord::machineName);
    text(L"UserName", &JobRecord::userName);
    text(L"DataType", &JobRecord::dataType);
    text(L"StatusText", &JobRecord::statusText);
    number(L"Status", &JobRecord::status);
    number(L"Priority", &JobRecord::priority);
    number(L"Position", &JobRecord::position);
    number(L"TotalPages", &JobRecord::totalPages);
    number(L"PagesPrinted", &JobRecord::pagesPrinted);
  }
};

IDispatch* newJobRead(const JobRecord* record) { return new JobRead(record); }

// Lists the jobs of the printer named by Open (or Refresh); none before that.
class JobsCollection : public RecordCollection<JobRecord> {
 public:
  JobsCollection()
      : RecordCollection(
            L"DocumentExists", [](const std::wstring& printer) { return enumJobs(printer); },
            [](const JobRecord* rec, Result& r) { r.object(newJobRead(rec)); }) {
    member(L"Open", 1, 1, [this](const Args& a, Result& r) {
      reload(a.str(0));
      HANDLE printer = nullptr;
      bool ok = !argument_.empty() &&
                OpenPrinterW(const_cast<wchar_t*>(argument_.c_str()), &printer, nullptr);
      if (printer) ClosePrinter(printer);
      r.boolean(ok);
    });
    property(L"PrinterName", [this](const Args&, Result& r) { r.str(argument_); });
  }
};

}  // namespace

IDispatch* CreateJobRead() { return newJobRead(nullptr); }
IDispatch* CreateJobsCollection() { return new JobsCollection(); }

}  // namespace qzk
