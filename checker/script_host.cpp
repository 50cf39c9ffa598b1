#include "checker/script_host.h"

#include <cstdlib>

namespace qz::check {

std::wstring WrapUncalled(const std::wstring& script) {
  return L"function QZCheckOnly() {\n" + script + L"\n}\n";
}

std::optional<std::pair<long, std::string>> ParseHostError(const std::string& output) {
  const std::size_t marker = output.find("JScript");
  if (marker == std::string::npos) return std::nullopt;
  const std::size_t open = output.rfind('(', marker);
  if (open == std::string::npos) return std::nullopt;
  char* end = nullptr;
  const long line = std::strtol(output.c_str() + open + 1, &end, 10);
  if (end == output.c_str() + open + 1 || line < 1) return std::nullopt;
  std::size_t text = output.find(':', marker);
  std::string message = text == std::string::npos ? std::string() : output.substr(text + 1);
  const std::size_t eol = message.find_first_of("\r\n");
  if (eol != std::string::npos) message.erase(eol);
  const std::size_t first = message.find_first_not_of(' ');
  message = first == std::string::npos ? std::string() : message.substr(first);
  return std::make_pair(line, message);
}

std::wstring DecodeScript(const std::string& bytes) {
  std::wstring text;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(at(i) | at(i + 1) << 8);
    }
  } else {
    for (std::size_t i = 0; i < bytes.size(); ++i) text += static_cast<wchar_t>(at(i));
  }
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace qz::check
