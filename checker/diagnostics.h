// Findings in the compiler convention: FILE:LINE: error|warning: text
// [code], or all of them as one JSON array.
#pragma once
#include <string>
#include <vector>

namespace qz::check {

enum class Severity { kWarning, kError };

struct Diagnostic {
  std::string file;  // as shown to the user
  long line = 1;
  Severity severity = Severity::kWarning;
  std::string code;  // stable, one per kind of finding
  std::string text;
};

class Report {
 public:
  void Add(Severity severity, const std::string& file, long line, const std::string& code,
           const std::string& text);
  void Error(const std::string& file, long line, const std::string& code, const std::string& text) {
    Add(Severity::kError, file, line, code, text);
  }
  void Warning(const std::string& file, long line, const std::string& code,
               const std::string& text) {
    Add(Severity::kWarning, file, line, code, text);
  }
  bool HasErrorIn(const std::string& file) const;
  // By file, then line, in the order found within a line.
  std::vector<Diagnostic> Sorted() const;
  // 0 clean, 1 warnings only, 2 with errors.
  int ExitStatus() const;
  std::string Text() const;
  std::string Json() const;

 private:
  std::vector<Diagnostic> found_;
};

}  // namespace qz::check
