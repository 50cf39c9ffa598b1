// Shared by the adapter checks: CHECK, which counts and prints as the
// program's output, and the helpers more than one service uses.
#pragma once

#include <string>

#include "platform/win32/win32_platform.h"

namespace adapter_test {

void Check(bool ok, const char* what, int line);
#define CHECK(expr) ::adapter_test::Check(static_cast<bool>(expr), #expr, __LINE__)

// Set in a child's environment to the mode it runs in (see Child).
inline constexpr wchar_t kChildVariable[] = L"QZ_ADAPTER_TEST_CHILD";

// The temporary folder as the system reports it, with its backslash.
std::wstring Temp();

void SystemInfoChecks(qz::port::SystemInfo& system);
void FilesChecks(qz::port::Files& files);
void RegistryChecks(qz::port::Registry& registry);
void ProcessesChecks(qz::port::Processes& processes);
// The program started as a child by ProcessesChecks; returns its exit code.
int Child(const std::wstring& mode);
void ModulesChecks(qz::port::Modules& modules);
void ComChecks(qz::port::Com& com);
void UiChecks(qz::port::Ui& ui);
void ResourcesChecks(qz::port::Resources& resources);
void ManagerStringChecks(const std::wstring& exe);

}  // namespace adapter_test
