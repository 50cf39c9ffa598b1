// The trace object: made once by the entry, it has no state and writes
// nothing anywhere; its calls mark the trace points of the steps.
#pragma once

namespace qz::driverpatch {

class TraceLog {
 public:
  TraceLog(const char* /*component*/, const char* /*title*/) {}
  template <typename... Values>
  void Write(const char* /*format*/, const Values&... /*values*/) const {}
};

}  // namespace qz::driverpatch
