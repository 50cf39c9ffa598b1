// The robot's transcript: UTF-8 records with escaped fields (format in
// qzrobot.cpp), and the hex tail of the command line.
#include "qzrobot.h"

namespace qzrobot {

HANDLE g_transcript = INVALID_HANDLE_VALUE;

namespace {

std::string ToUtf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

std::wstring Escape(const std::wstring& in) {
  std::wstring out;
  for (wchar_t c : in) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

void Record(const std::vector<std::wstring>& fields) {
  std::wstring line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += L'\t';
    line += i ? Escape(fields[i]) : fields[i];
  }
  line += L'\n';
  std::string bytes = ToUtf8(line);
  if (g_transcript != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(g_transcript, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    FlushFileBuffers(g_transcript);
  } else {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &written,
              nullptr);
  }
}

void PrintLine(const std::wstring& line) {
  std::string bytes = ToUtf8(line + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &written, nullptr);
}

bool HexToBytes(const std::wstring& hex, std::string* out) {
  if (hex.size() % 2) return false;
  out->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      wchar_t c = hex[i + k];
      int d;
      if (c >= L'0' && c <= L'9')
        d = c - L'0';
      else if (c >= L'a' && c <= L'f')
        d = c - L'a' + 10;
      else if (c >= L'A' && c <= L'F')
        d = c - L'A' + 10;
      else
        return false;
      v = v * 16 + d;
    }
    out->push_back((char)v);
  }
  return true;
}

}  // namespace qzrobot
