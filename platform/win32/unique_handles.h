// Owners for the Win32 resources that an adapter opens and closes within
// one call: each knows its own invalid value and how to give it back, so
// no path out of a call leaks one.
#pragma once
#include <windows.h>
// WIN32_LEAN_AND_MEAN leaves COM out of windows.h.
#include <objbase.h>

namespace qz::win32 {

template <typename Traits>
class Unique {
 public:
  using Type = typename Traits::Type;
  Unique() = default;
  explicit Unique(Type value) : value_(value) {}
  ~Unique() {
    if (Valid()) Traits::Close(value_);
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  bool Valid() const { return value_ != Traits::Invalid(); }
  Type Get() const { return value_; }
  // For out-parameters of the API: the place to store a fresh value.
  Type* Put() {
    if (Valid()) Traits::Close(value_);
    value_ = Traits::Invalid();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

// FindFirstFileW: INVALID_HANDLE_VALUE when nothing matched.
struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
using UniqueFind = Unique<FindTraits>;

// Buffers the system allocates for us (FORMAT_MESSAGE_ALLOCATE_BUFFER).
struct LocalTraits {
  using Type = wchar_t*;
  static Type Invalid() { return nullptr; }
  static void Close(Type p) { ::LocalFree(p); }
};
using UniqueLocalString = Unique<LocalTraits>;

// One reference to a COM interface, released once.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Put() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace qz::win32
