#include "deploy/report.h"

#include <cstdio>

#include "common/utf8.h"

namespace qz::deploy {

namespace {

// Log bytes reach the detail as they stand: what is not UTF-8 becomes
// U+FFFD, so the line stays valid JSON.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : ToUtf8(FromUtf8(text))) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kApplied: return "applied";
    case Outcome::kNotNeeded: return "not-needed";
    case Outcome::kBusy: return "busy";
    case Outcome::kFailed: break;
  }
  return "failed";
}

const char* RestartName(Restart restart) {
  switch (restart) {
    case Restart::kPending: return "pending";
    case Restart::kStarted: return "started";
    case Restart::kNone: break;
  }
  return "none";
}

}  // namespace

std::string VersionText(const std::array<std::uint16_t, 4>& parts) {
  std::string text;
  for (const std::uint16_t part : parts) text += (text.empty() ? "" : ".") + std::to_string(part);
  return text;
}

std::string JsonLine(const RunReport& r) {
  const Verdict& v = r.verdict;
  char duration[32], started[32];
  std::snprintf(duration, sizeof duration, "%.1f", r.durationSeconds < 0 ? 0.0 : r.durationSeconds);
  const port::LocalTime& t = r.started;
  std::snprintf(started, sizeof started, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  std::string json = "{\"outcome\":" + Quoted(OutcomeName(v.outcome));
  json += ",\"exitCode\":" + std::to_string(ExitCodeOf(v));
  json += ",\"restart\":" + Quoted(RestartName(v.restart));
  json += ",\"failedStep\":" + (v.failedStep.empty() ? "null" : Quoted(v.failedStep));
  json += ",\"detail\":" + Quoted(v.detail);
  json += ",\"durationSeconds\":" + std::string(duration);
  json += ",\"managerExitCode\":" +
          (r.managerExitCode ? std::to_string(*r.managerExitCode) : std::string("null"));
  json +=
      ",\"managerVersion\":" + (r.managerVersion ? Quoted(*r.managerVersion) : std::string("null"));
  json += ",\"computer\":" + Quoted(ToUtf8(r.computer));
  json += ",\"started\":" + Quoted(started);
  json += ",\"log\":" + (r.logCopy ? Quoted(ToUtf8(*r.logCopy)) : std::string("null"));
  return json + "}";
}

std::wstring ReportStem(const std::wstring& computer, const port::LocalTime& t, int attempt) {
  std::wstring name;
  for (const wchar_t c : computer) {
    const bool plain = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') ||
                       (c >= L'a' && c <= L'z') || c == L'-' || c == L'_';
    name += plain ? c : L'_';
  }
  if (name.empty()) name = L"unknown";
  wchar_t stamp[40];
  std::swprintf(stamp, sizeof stamp / sizeof stamp[0], L"_%04d%02d%02d_%02d%02d%02d", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  std::wstring stem = L"QZZqzvrn_" + name + stamp;
  if (attempt > 1) stem += L"_" + std::to_wstring(attempt);
  return stem;
}

}  // namespace qz::deploy
