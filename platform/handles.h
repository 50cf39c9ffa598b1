// Owners for the handles the port hands out: each gives its handle back
// through the service that opened it, once, on every path out of a scope.
#pragma once
#include <utility>

#include "platform/types.h"

namespace qz::port {

// `Close` is the service's closing call (RegCloseKey, CloseHandle, ...);
// 0 is never a valid handle, so an owner of 0 closes nothing.
template <typename Service, auto Close>
class UniqueHandle {
 public:
  explicit UniqueHandle(Service& service, Handle handle = 0)
      : service_(&service), handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : service_(other.service_), handle_(std::exchange(other.handle_, 0)) {}

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != 0; }
  // For out-parameters of the port: closes what is held first.
  Handle& Put() {
    Reset();
    return handle_;
  }
  void Reset() {
    if (handle_ != 0) (service_->*Close)(std::exchange(handle_, 0));
  }

 private:
  Service* service_;
  Handle handle_;
};

}  // namespace qz::port
