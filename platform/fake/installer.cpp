// The fake Setup API installer, over the fake file system.
#include <stdexcept>

#include "platform/fake/fake_platform.h"
#include "platform/errors.h"

namespace qz::fake {

namespace {}  // namespace

bool FakeInstaller::SetupInstallFileExW(const std::wstring& sourceFile,
                                        const std::wstring& sourcePathRoot,
                                        const std::wstring& destinationName, DWORD copyStyle,
                                        port::FileCallback callback, void* context,
                                        bool& fileWasInUse, DWORD& lastError) {
  calls.push_back(
      {sourceFile, sourcePathRoot, destinationName, copyStyle, callback != nullptr, false});
  auto result = [&](bool ok, DWORD error) {
    calls.back().result = ok;
    lastError = ok ? 0 : error;
    return ok;
  };
  const bool forced = (copyStyle & port::kSpCopyForceInUse) != 0;
  auto it = outcomes.find(Fold(files_.Absolute(destinationName)));
  Outcome outcome = it == outcomes.end() ? Outcome::kCopy : it->second;
  const FakeFiles::Entry* target = files_.Find(destinationName);
  if (outcome == Outcome::kCopy && target && target->locked) outcome = Outcome::kInUse;
  if (outcome == Outcome::kCopy && target && (target->attributes & port::kFileAttributeReadOnly))
    outcome = Outcome::kCopyError;

  switch (outcome) {
    case Outcome::kThrows: throw std::runtime_error("installer");
    case Outcome::kDeclined: return result(false, 0);
    case Outcome::kFails: return result(false, error);
    case Outcome::kCopyError:
      if (callback && callback(context, port::kSpFileNotifyCopyError, 0, 0) == 0)
        return result(false, port::kErrorOperationAborted);
      return result(false, port::kErrorAccessDenied);
    case Outcome::kInUse:
      // The replacement waits for the restart; the handler hears of it only
      // in the normal form.
      if (!forced && callback) callback(context, port::kSpFileNotifyFileOpDelayed, 0, 0);
      queuedForRestart.push_back(files_.Absolute(destinationName));
      fileWasInUse = true;
      return result(true, 0);
    case Outcome::kCopy: break;
  }
  const auto contents = files_.Contents(sourcePathRoot + L"\\" + sourceFile);
  if (!contents) return result(false, port::kErrorFileNotFound);
  const std::wstring full = files_.Absolute(destinationName);
  const auto slash = full.find_last_of(L'\\');
  if (slash == std::wstring::npos || !files_.Exists(full.substr(0, slash)))
    return result(false, port::kErrorPathNotFound);
  FakeFiles::Entry e;
  e.contents = *contents;
  files_.Put(full, e);
  return result(true, 0);
}

}  // namespace qz::fake
