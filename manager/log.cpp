// The log file and the return-code file.
#include "common/return_code.h"
#include "manager/manager.h"

namespace qz {

namespace {
// A field keeps at most its first 255 characters.
constexpr std::size_t kFieldLimit = 255;

// A field never breaks its line: a line end or other control character
// that reaches the log from outside (an XML attribute, a system message)
// is written as "?", like a character the 8-bit log cannot hold.
std::wstring Field(const std::wstring& text) {
  std::wstring field = text.size() <= kFieldLimit ? text : text.substr(0, kFieldLimit);
  for (auto& ch : field) {
    if (ch < 0x20 && ch != L'\t') ch = L'?';
  }
  return field;
}
}  // namespace

void CVRNManager::WriteLog(const std::wstring& source, const std::wstring& text,
                           const std::wstring& status) {
  // One write per entry, so a reader of the open log sees whole lines.
  m_log.Write(Field(source) + L"  " + Field(text) + L"  " + Field(status) + L"\n");
}

void CVRNManager::LogStarted(const std::wstring& className, const std::wstring& method) {
  WriteLog(className, method, L"Started");
}

void CVRNManager::LogEnded(const std::wstring& className, const std::wstring& method) {
  WriteLog(className, method, L"Ended");
}

void CVRNManager::WriteResult(const std::wstring& source, const std::wstring& text,
                              port::Status status, const std::wstring& okStatus) {
  if (status) {
    WriteLog(source, text, okStatus);
  } else {
    // The code first: a long path is cut at the field's end, not the code.
    WriteLog(source, L"error " + std::to_wstring(status.error) + L": " + text, L"Failed");
  }
}

int CVRNManager::WriteReturnCode(int value) {
  // Opened by its relative name: it lands in the current directory.
  return WriteReturnCodeFile(m_returnCodeFile, kReturnCodeFileName, value);
}

}  // namespace qz
