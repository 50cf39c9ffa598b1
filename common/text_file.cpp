#include "common/text_file.h"

namespace qz {

std::string EncodeEightBit(const std::wstring& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (wchar_t ch : text) {
    const auto code = static_cast<std::uint32_t>(ch);
    if (ch == L'\n') {
      out += "\r\n";
    } else if (code <= 0xFF) {
      out += static_cast<char>(static_cast<unsigned char>(code));
    } else {
      out += '?';
    }
  }
  return out;
}

namespace {
void AppendUnit(std::string& out, std::uint16_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}
}  // namespace

std::string EncodeUtf16WithBom(const std::wstring& text) {
  std::string out;
  out.reserve(2 + text.size() * 2);
  AppendUnit(out, 0xFEFF);
  for (wchar_t ch : text) {
    const auto code = static_cast<std::uint32_t>(ch);
    if (ch == L'\n') {
      AppendUnit(out, L'\r');
      AppendUnit(out, L'\n');
    } else if (code > 0xFFFF) {  // 32-bit wchar_t on the native build
      const std::uint32_t v = code - 0x10000;
      AppendUnit(out, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
      AppendUnit(out, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      AppendUnit(out, static_cast<std::uint16_t>(code));
    }
  }
  return out;
}

bool EightBitTextFile::Open(const std::wstring& path) {
  Close();
  const port::Result<port::FileHandle> opened = files_.CreateFileW(path);
  handle_.Put() = opened.value;
  failed_ = !opened;
  return !failed_;
}

bool EightBitTextFile::OpenNew(const std::wstring& path) {
  Close();
  files_.DeleteFileW(path);
  const port::Result<port::FileHandle> opened = files_.CreateFileW(
      path, port::kGenericWrite, port::kCreateNew, port::kFileShareRead | port::kFileShareWrite);
  handle_.Put() = opened.value;
  failed_ = !opened;
  return !failed_;
}

bool EightBitTextFile::WriteBytes(const std::string& bytes) {
  if (failed_ || !handle_.Valid()) {
    failed_ = true;
    return false;
  }
  if (!files_.WriteFile(handle_.Get(), bytes.data(), bytes.size())) failed_ = true;
  return !failed_;
}

bool EightBitTextFile::Write(const std::wstring& text) { return WriteBytes(EncodeEightBit(text)); }

void EightBitTextFile::Close() {
  if (!handle_.Close()) failed_ = true;
}

}  // namespace qz
