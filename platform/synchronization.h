// Named kernel objects that tie processes together: the lock that lets
// one run at a time work in a folder.
#pragma once
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

struct NamedMutex {
  MutexHandle handle;
  bool alreadyExists = false;
};

class Synchronization {
 public:
  virtual ~Synchronization() = default;
  // CreateMutexW without initial owner. `alreadyExists` when another
  // process made it first (ERROR_ALREADY_EXISTS), also when its security
  // keeps this process out (ERROR_ACCESS_DENIED: the call fails, no handle).
  virtual Result<NamedMutex> CreateMutexW(const std::wstring& name) = 0;
  virtual Status CloseHandle(MutexHandle object) = 0;
};

using UniqueMutex = UniqueHandle<Synchronization, &Synchronization::CloseHandle>;

}  // namespace qz::port
