// The file and registry adapters against the real API.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/tests/adapter_checks.h"

namespace adapter_test {

namespace {

std::string ReadAll(const std::wstring& path) {
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<none>";
  std::string data;
  char chunk[512];
  DWORD read = 0;
  while (::ReadFile(h, chunk, sizeof chunk, &read, nullptr) && read > 0) {
    data.append(chunk, read);
  }
  ::CloseHandle(h);
  return data;
}

}  // namespace

// --- files -------------------------------------------------------------------

void FilesChecks(qz::port::Files& files) {
  const std::wstring dir = Temp() + L"qz_adapter_files";
  const std::wstring path = dir + L"\\log.txt";
  ::DeleteFileW(path.c_str());
  ::DeleteFileW((dir + L"\\copy.txt").c_str());
  ::RemoveDirectoryW(dir.c_str());

  CHECK(files.CreateDirectoryW(dir));
  CHECK(files.CreateDirectoryW(dir).error == ERROR_ALREADY_EXISTS);
  CHECK(files.AnyMatch(dir));
  CHECK(!files.AnyMatch(path));

  // A failed open holds no handle, never INVALID_HANDLE_VALUE, and the
  // call's error.
  const auto failed = files.CreateFileW(dir + L"\\no such folder\\x.txt");
  CHECK(!failed && !failed.value && failed.status.error == ERROR_PATH_NOT_FOUND);

  qz::port::FileHandle file = files.CreateFileW(path).value;
  CHECK(file);
  CHECK(files.WriteFile(file, "first run\r\n", 11));
  // Others may read the open file, as a reader of the log does.
  CHECK(ReadAll(path) == "first run\r\n");
  CHECK(files.CloseHandle(file));

  // An existing file is emptied.
  file = files.CreateFileW(path).value;
  CHECK(file);
  CHECK(files.WriteFile(file, "", 0));
  CHECK(files.WriteFile(file, "2", 1));
  CHECK(files.CloseHandle(file));
  CHECK(ReadAll(path) == "2");

  CHECK(files.AnyMatch(path));
  CHECK(files.AnyMatch(dir + L"\\*.txt"));
  CHECK(!files.AnyMatch(dir + L"\\*.js"));

  const std::wstring copy = dir + L"\\copy.txt";
  CHECK(files.CopyFileW(path, copy, true));
  CHECK(!files.CopyFileW(path, copy, true));
  CHECK(files.CopyFileW(path, copy, false));
  CHECK(!files.CopyFileW(dir + L"\\missing.txt", copy, false));

  // A search reports "." and ".." beside the names, with their attributes.
  std::vector<std::wstring> names;
  {
    const auto first = files.FindFirstFileW(dir + L"\\*.*");
    qz::port::UniqueFind search(files, first.value.search);
    CHECK(search.Valid());
    qz::port::Result<qz::port::FindData> found{first.value.found, first.status};
    for (; found; found = files.FindNextFileW(search.Get())) {
      names.push_back(found.value.fileName);
      if (found.value.fileName == L".") CHECK(found.value.attributes == FILE_ATTRIBUTE_DIRECTORY);
    }
    // The end of the search is a failure, as Win32 has it.
    CHECK(found.status.error == ERROR_NO_MORE_FILES);
  }
  std::sort(names.begin(), names.end());
  CHECK((names == std::vector<std::wstring>{L".", L"..", L"copy.txt", L"log.txt"}));

  // A read-only file resists deletion until its attribute is cleared.
  const DWORD attributes = files.GetFileAttributesW(copy).value;
  CHECK(files.SetFileAttributesW(copy, attributes | FILE_ATTRIBUTE_READONLY));
  CHECK(files.DeleteFileW(copy).error == ERROR_ACCESS_DENIED);
  CHECK(files.SetFileAttributesW(copy, attributes));
  CHECK(files.GetFileAttributesW(dir + L"\\missing.txt").status.error == ERROR_FILE_NOT_FOUND);

  CHECK(files.MoveFileW(copy, path).error == ERROR_ALREADY_EXISTS);
  CHECK(files.RemoveDirectoryW(dir).error == ERROR_DIR_NOT_EMPTY);
  CHECK(files.DeleteFileW(copy));
  CHECK(files.DeleteFileW(copy).error == ERROR_FILE_NOT_FOUND);
  CHECK(files.MoveFileW(path, copy));
  CHECK(files.DeleteFileW(copy));
  CHECK(files.RemoveDirectoryW(dir));
}

// --- registry ----------------------------------------------------------------

void RegistryChecks(qz::port::Registry& registry) {
  const wchar_t* subKey = L"SOFTWARE\\QZAdapterTest";
  HKEY key = nullptr;
  CHECK(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) == ERROR_SUCCESS);
  const wchar_t path[] = L"C:\\Program Files";  // stored with its terminator
  ::RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
  const wchar_t bare[] = {L'a', L'b'};  // stored without one
  ::RegSetValueExW(key, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), sizeof bare);
  const DWORD number = 7;
  ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  ::RegCloseKey(key);

  const auto openedKey = registry.RegOpenKeyExW(subKey, qz::port::kKeyRead);
  CHECK(openedKey);
  const qz::port::KeyHandle opened = openedKey.value;
  CHECK(opened);
  auto read = registry.RegQueryValueExW(opened, L"Path", 255);
  CHECK(read && read.value.type == REG_SZ && read.value.data.size() == sizeof path &&
        std::memcmp(read.value.data.data(), path, sizeof path) == 0);
  read = registry.RegQueryValueExW(opened, L"Bare", 255);
  CHECK(read && read.value.data.size() == 4 && read.value.data[0] == 'a' &&
        read.value.data[2] == 'b');
  read = registry.RegQueryValueExW(opened, L"Number", 4);
  CHECK(read && read.value.type == REG_DWORD && read.value.data.size() == 4 &&
        read.value.data[0] == 7);
  // Too small, also with no room at all: ERROR_MORE_DATA and the size.
  read = registry.RegQueryValueExW(opened, L"Path", 8);
  CHECK(read.status.error == ERROR_MORE_DATA && read.value.requiredBytes == sizeof path);
  read = registry.RegQueryValueExW(opened, L"Path", 0);
  CHECK(read.status.error == ERROR_MORE_DATA && read.value.requiredBytes == sizeof path);
  CHECK(registry.RegQueryValueExW(opened, L"Missing", 255).status.error == ERROR_FILE_NOT_FOUND);
  CHECK(registry.RegCloseKey(opened));

  const auto none = registry.RegOpenKeyExW(L"SOFTWARE\\QZAdapterTest\\Absent", qz::port::kKeyRead);
  CHECK(none.status.error == ERROR_FILE_NOT_FOUND);
  CHECK(!none.value);
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, subKey);
}

}  // namespace adapter_test
