// record_bench: what reading a walk's record costs at the next start, on the
// fake machine. Writes a record of N begun entries with their copies, then
// times reading it (ReadJournalFile, then ReadJournal) and checking it
// against the configuration's destinations with every copy hashed
// (WalkChanges::Load), at N/4, N/2 and N. Linear cost shows as times that
// double with N.
//   qz_record_bench [N]   (default 40000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "manager/file_names.h"
#include "manager/journal.h"
#include "manager/walk.h"
#include "platform/fake/fake_platform.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Measure(std::size_t n) {
  using namespace qz;
  fake::FakeMachine x;
  const std::wstring folder = L"C:\\patch\\qzvrn1000";
  x.files.AddFolder(folder);
  std::unordered_set<std::wstring> allowed;
  {
    WalkChanges walk(x.files);
    walk.Start(folder);
    for (std::size_t i = 0; i < n; ++i) {
      const std::wstring name = L"f" + std::to_wstring(i) + L".dll";
      const std::wstring destination = L"C:\\Prod\\" + name;
      x.files.AddFile(destination, "old " + std::to_string(i));
      walk.SaveOriginal(i, destination, name);
      allowed.insert(FileNameKey(x.files, destination));
    }
    walk.WriteRecord();
  }
  {
    // Every entry begun, as after a kill at the last one.
    WalkJournal journal(x.files);
    std::string text = *x.files.Contents(folder + L"\\QZVRN.journal");
    x.files.DeleteFileW(folder + L"\\QZVRN.journal");
    const JournalReading reading = ReadJournal(text);
    journal.Create(folder, reading.record->changes);
    for (std::size_t i = 0; i < n; ++i) journal.MarkBegun(i);
  }
  const auto bytes = x.files.Contents(folder + L"\\QZVRN.journal")->size();

  auto start = std::chrono::steady_clock::now();
  const JournalFile file = ReadJournalFile(x.files, folder);
  const double listed = Seconds(start);
  start = std::chrono::steady_clock::now();
  const JournalReading reading = ReadJournal(*file.text);
  const double read = Seconds(start);

  start = std::chrono::steady_clock::now();
  WalkChanges walk(x.files);
  bool present = false;
  const std::wstring refusal = walk.Load(folder, allowed, present);
  const double load = Seconds(start);
  std::printf(
      "%7zu entries, %9zu bytes: listed and read %.3f s, parsed %.3f s, "
      "all with every copy hashed %.3f s%s\n",
      n, bytes, listed, read, load, refusal.empty() && reading.record ? "" : "  (refused!)");
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 40000;
  for (std::size_t part : {n / 4, n / 2, n}) Measure(part);
  return 0;
}
