// What every fuzz target shares: a fake machine whose XML DOM is pugixml
// over its files, one reader run that must end in true or a known _error,
// and the checks that must hold after any input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "manager/errors.h"
#include "platform/fake/fake_platform.h"

namespace qz::fuzz {

// A check that failed. The libFuzzer entry turns it into a crash with the
// input kept; the regression test into a failed case.
struct CheckFailed {
  std::string what;
};
void Check(bool ok, const std::string& what);

// The fake machine (C:\patch, C:\Temp\) with pugixml reading its files, and
// the entries it held before the run, to tell what the run created.
struct Machine {
  Machine();
  // Puts an input file in place; it counts as there before the run.
  void Put(const std::wstring& path, const std::uint8_t* data, std::size_t size);
  fake::FakeMachine fake;
  std::set<std::wstring> before;

 private:
  void Remember();
};

// Runs one reader: the _error it threw, or -1 when it returned true. A false
// result, an _error outside `allowed` or any other exception fails.
template <class Read>
int ReadOrError(Read&& read, std::initializer_list<int> allowed) {
  try {
    Check(read(), "the reader returned false");
    return -1;
  } catch (_error e) {
    bool known = false;
    for (int a : allowed) known = known || a == e;
    Check(known, "unexpected _error " + std::to_string(e));
    return e;
  }
}

// The reader's last log entry so far: `success` when it returned true
// (result -1), else its guard's entry, which starts with `source` and two
// blanks.
void CheckLastEntry(const Machine& machine, int result, const std::string& success,
                    const std::string& source);

// After the manager is gone: the log is whole CRLF-ended lines, none longer
// than three 255-character fields and their separators; every file handle
// is closed; the only files created are the log, the return-code file and
// rule scripts named
// "TestCode_*.js" directly in the patch folder, each in one of the two
// encodings and, with `builtInTexts`, framed by the built-in header and
// footer.
void CheckAfterRun(const Machine& machine, bool builtInTexts = true);

// The 8-bit or UTF-16 bytes of a rule script back to the wide text that was
// written, with every CRLF read as one line feed; false when the bytes are
// neither form.
bool DecodeScript(const std::string& bytes, std::wstring& text);

// The input as UTF-16LE code units (a last odd byte is dropped), split at
// each U+0000 into texts that may hold anything else: lone surrogates,
// control characters, very long runs.
std::vector<std::wstring> WideParts(const std::uint8_t* data, std::size_t size);

// Runs `target` for libFuzzer: a failed check is printed and aborts, so
// that libFuzzer reports it as a crash and keeps the input.
int RunForLibFuzzer(int (*target)(const std::uint8_t*, std::size_t), const std::uint8_t* data,
                    std::size_t size);

}  // namespace qz::fuzz

// Defines libFuzzer's entry over `target`, in the fuzz tree only.
#ifdef QZ_LIBFUZZER
#define QZ_FUZZ_ENTRY(target)                                                         \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    return qz::fuzz::RunForLibFuzzer(target, data, size);                             \
  }
#else
#define QZ_FUZZ_ENTRY(target)
#endif
