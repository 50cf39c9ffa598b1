// FakeSynchronization: the Synchronization port (platform/synchronization.h) in memory, for the native unit tests.
#pragma once
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/fold.h"
#include "platform/synchronization.h"

namespace qz::fake {

// Named mutexes: those another process holds, and those made here.
class FakeSynchronization : public port::Synchronization {
 public:
  std::set<std::wstring> heldElsewhere;
  std::vector<std::wstring> created;
  bool fails = false;  // no mutex can be had at all
  std::size_t OpenHandles() const { return open_.size(); }

  port::Result<port::NamedMutex> CreateMutexW(const std::wstring& name) override;
  port::Status CloseHandle(port::MutexHandle object) override {
    return open_.erase(object) ? port::Status::Ok()
                               : port::Status::Failed(port::kErrorInvalidHandle);
  }

 private:
  std::map<port::MutexHandle, std::wstring> open_;
  std::uintptr_t next_ = 0x600;
};

}  // namespace qz::fake
