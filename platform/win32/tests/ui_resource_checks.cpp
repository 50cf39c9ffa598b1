// The user interface and resource adapters, and the manager's string tables.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/tests/adapter_checks.h"

namespace adapter_test {

namespace {

// Reads string `id` out of a raw block, as the core does.
std::wstring FromBlock(const std::vector<std::uint16_t>& block, unsigned id) {
  std::size_t pos = 0;
  for (unsigned i = 0; i < id % 16 && pos < block.size(); ++i) pos += 1 + block[pos];
  if (pos >= block.size() || pos + 1 + block[pos] > block.size()) return L"?";
  return std::wstring(block.begin() + pos + 1, block.begin() + pos + 1 + block[pos]);
}

}  // namespace

// --- user interface and resources ------------------------------------------------

void UiChecks(qz::port::Ui& ui) {
  CHECK(ui.GetDesktopWindow().value == reinterpret_cast<std::uintptr_t>(::GetDesktopWindow()));
}

void ResourcesChecks(qz::port::Resources& resources) {
  const auto german = resources.FindStringBlock(1, 1031);
  CHECK(german);
  if (german) {
    CHECK(german.value.size() >= 16);
    CHECK(FromBlock(german.value, 1) ==
          L"Gr\x00FC\x00DF"
          L"e eins");
    CHECK(FromBlock(german.value, 3) == L"drei");
    CHECK(FromBlock(german.value, 2).empty());
  }
  const auto neutral = resources.FindStringBlock(2, 1024);  // ids 16 to 31
  CHECK(neutral && FromBlock(neutral.value, 17) == L"neutral seventeen");
  CHECK(!resources.FindStringBlock(1, 1041));
  CHECK(!resources.FindStringBlock(5, 1024));
  CHECK(!resources.FindStringBlock(0, 1024));
  CHECK(!resources.FindStringBlock(0x10000, 1024));

  CHECK(resources.LoadStringW(17) == L"neutral seventeen");
  CHECK(resources.LoadStringW(2).empty());
}

// The manager's tables: every block holds the six messages, message 1 with
// its line break and leading blank, and every text that names the maker
// names it "QZ".
void ManagerStringChecks(const std::wstring& exe) {
  const HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  CHECK(module != nullptr);
  if (!module) return;
  const WORD languages[] = {1024, 1025, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037,
                            1038, 1040, 1041, 1042, 1043, 1044, 1045, 1046, 1049, 1053, 1055, 2052};
  std::vector<std::wstring> english;
  for (WORD language : languages) {
    const HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(1), language);
    CHECK(found != nullptr);
    if (!found) {
      std::printf("  (no block for language %u)\n", language);
      continue;
    }
    const auto* data =
        static_cast<const std::uint16_t*>(::LockResource(::LoadResource(module, found)));
    const std::vector<std::uint16_t> block(
        data, data + ::SizeofResource(module, found) / sizeof(std::uint16_t));
    std::vector<std::wstring> texts;
    for (unsigned id : {1u, 2u, 3u, 5u, 6u, 7u}) texts.push_back(FromBlock(block, id));
    for (const auto& text : texts) CHECK(!text.empty() && text != L"?");
    CHECK(FromBlock(block, 4).empty());
    const std::size_t lineBreak = texts[0].find(L'\n');
    CHECK(lineBreak != std::wstring::npos && lineBreak + 1 < texts[0].size() &&
          texts[0][lineBreak + 1] == L' ');
    CHECK(texts[0].find(L"QZ") != std::wstring::npos);
    CHECK(texts[2].find(L"QZ") != std::wstring::npos);
    if (language == 1024) english = texts;
    if (language == 1033) CHECK(texts == english);
    if (language != 1024 && language != 1033) CHECK(texts[4] != english[4]);
    if (language == 1031) CHECK(texts[5] == L"Sp\x00E4ter neu starten");
  }
  const HRSRC dialog = ::FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(168),
                                         MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  CHECK(dialog != nullptr);
  // No manifest: Windows 8 and later must report 6.2 to the manager.
  CHECK(::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST) == nullptr);
  ::FreeLibrary(module);
}

}  // namespace adapter_test
