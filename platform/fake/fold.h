// What every fake shares: the port's types by their short names, the
// file system's case folding, and test text to wide strings and back.
#pragma once
#include <string>

#include "platform/types.h"

namespace qz::fake {

using port::DWORD;
using port::HRESULT;
using port::LANGID;
using port::LONG;

// Case-folded key for paths, registry keys and value names: the letters
// of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic fold, as the
// system's upper-case table folds them.
std::wstring Fold(const std::wstring& text);
// The same table upwards: the fake's CharUpperBuffW.
std::wstring UpperCase(const std::wstring& text);

// UTF-8/ASCII test text to a wide string and back (Latin-1 for bytes).
std::wstring W(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace qz::fake
