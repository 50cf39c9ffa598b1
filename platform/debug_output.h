// The debugger's output channel.
#pragma once
#include <string>

namespace qz::port {

class DebugOutput {
 public:
  virtual ~DebugOutput() = default;
  virtual void OutputDebugStringA(const std::string& text) = 0;
};

}  // namespace qz::port
