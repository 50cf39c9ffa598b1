#include "checker/diagnostics.h"

#include <algorithm>
#include <cstdio>

namespace qz::check {

namespace {

const char* Name(Severity s) { return s == Severity::kError ? "error" : "warning"; }

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace

void Report::Add(Severity severity, const std::string& file, long line, const std::string& code,
                 const std::string& text) {
  found_.push_back({file, line < 1 ? 1 : line, severity, code, text});
}

bool Report::HasErrorIn(const std::string& file) const {
  return std::any_of(found_.begin(), found_.end(), [&](const Diagnostic& d) {
    return d.file == file && d.severity == Severity::kError;
  });
}

std::vector<Diagnostic> Report::Sorted() const {
  std::vector<Diagnostic> sorted = found_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.file != b.file ? a.file < b.file : a.line < b.line;
  });
  return sorted;
}

int Report::ExitStatus() const {
  int status = 0;
  for (const Diagnostic& d : found_)
    status = std::max(status, d.severity == Severity::kError ? 2 : 1);
  return status;
}

std::string Report::Text() const {
  std::string out;
  for (const Diagnostic& d : Sorted()) {
    out += d.file + ":" + std::to_string(d.line) + ": " + Name(d.severity) + ": " + d.text + " [" +
           d.code + "]\n";
  }
  return out;
}

std::string Report::Json() const {
  std::string out = "[";
  bool first = true;
  for (const Diagnostic& d : Sorted()) {
    out += first ? "\n" : ",\n";
    first = false;
    out += "  {\"file\": " + JsonString(d.file) + ", \"line\": " + std::to_string(d.line) +
           ", \"severity\": \"" + Name(d.severity) + "\", \"code\": " + JsonString(d.code) +
           ", \"message\": " + JsonString(d.text) + "}";
  }
  return out + (first ? "]\n" : "\n]\n");
}

}  // namespace qz::check
