// Named kernel objects that tie processes together: the lock that lets
// one run at a time work in a folder.
#pragma once
#include <string>

#include "platform/handles.h"
#include "platform/types.h"

namespace qz::port {

class Synchronization {
 public:
  virtual ~Synchronization() = default;
  // CreateMutexW without initial owner. `alreadyExists` when another
  // process made it first (ERROR_ALREADY_EXISTS), also when its security
  // keeps this process out (ERROR_ACCESS_DENIED, then no handle). 0 when
  // no mutex could be had.
  virtual Handle CreateMutexW(const std::wstring& name, bool& alreadyExists) = 0;
  virtual bool CloseHandle(Handle object) = 0;
};

using UniqueMutex = UniqueHandle<Synchronization, &Synchronization::CloseHandle>;

}  // namespace qz::port
