// Owners for the handles the port hands out: each gives its handle back
// through the service that opened it, once, on every path out of a scope.
#pragma once
#include <utility>

#include "platform/types.h"

namespace qz::port {

// The handle kind a closing call takes.
template <typename Call>
struct ClosedHandle;
template <typename Service, typename Outcome, typename H>
struct ClosedHandle<Outcome (Service::*)(H)> {
  using type = H;
};

// `CloseCall` is the service's closing call (RegCloseKey, CloseHandle,
// ...), and the owner holds the kind of handle it takes; the empty handle
// is never a valid one, so an owner of it closes nothing.
template <typename Service, auto CloseCall>
class UniqueHandle {
 public:
  using HandleType = typename ClosedHandle<decltype(CloseCall)>::type;

  explicit UniqueHandle(Service& service, HandleType handle = HandleType{})
      : service_(&service), handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : service_(other.service_), handle_(std::exchange(other.handle_, HandleType{})) {}

  HandleType Get() const { return handle_; }
  bool Valid() const { return handle_ != HandleType{}; }
  // For out-parameters of the port: closes what is held first.
  HandleType& Put() {
    Reset();
    return handle_;
  }
  void Reset() {
    if (Valid()) (service_->*CloseCall)(std::exchange(handle_, HandleType{}));
  }
  // Closes now and says whether the close succeeded: a written file's last
  // data reach the disk at its close. Nothing held is a success.
  bool Close() {
    return !Valid() ||
           static_cast<bool>((service_->*CloseCall)(std::exchange(handle_, HandleType{})));
  }

 private:
  Service* service_;
  HandleType handle_;
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
