// Owners for the handles the port hands out: each gives its handle back
// through the service that opened it, once, on every path out of a scope.
#pragma once
#include <utility>

#include "platform/types.h"

namespace qz::port {

// `CloseCall` is the service's closing call (RegCloseKey, CloseHandle,
// ...); 0 is never a valid handle, so an owner of 0 closes nothing.
template <typename Service, auto CloseCall>
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
    if (handle_ != 0) (service_->*CloseCall)(std::exchange(handle_, 0));
  }
  // Closes now and says whether the close succeeded: a written file's last
  // data reach the disk at its close. Nothing held is a success.
  bool Close() {
    return handle_ == 0 || static_cast<bool>((service_->*CloseCall)(std::exchange(handle_, 0)));
  }

 private:
  Service* service_;
  Handle handle_;
};

// Runs `f` on every path out of a scope, for what no owner above covers.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

}  // namespace qz::port
