// Localized messages and error texts: the string tables' language choice,
// the message box that stays silent in unattended runs, and the report of
// an _error value.
#pragma once
#include <string>

#include "manager/errors.h"
#include "platform/platform.h"

namespace qz {

class CVRNManager;

// Message ids of the string tables.
inline constexpr unsigned kMsgNotApplicable = 1;
inline constexpr unsigned kMsgRestartQuestion = 2;
inline constexpr unsigned kMsgUpdateFailed = 3;
inline constexpr unsigned kMsgUpdateCompleted = 5;
inline constexpr unsigned kMsgRestartNow = 6;
inline constexpr unsigned kMsgRestartLater = 7;

// LoadMessage keeps at most kMessageBufferChars - 1 characters of a text,
// what a 1024-character buffer with its terminator holds.
inline constexpr std::size_t kMessageBufferChars = 1024;

// Fills `buffer` with message `id` in the system's language, logging the
// choice through `manager`. Always returns 1.
int LoadMessage(CVRNManager& manager, unsigned id, std::wstring& buffer);
// The same through g_pManager, which must be set.
int LoadMessage(unsigned id, std::wstring& buffer);

// Logs the error's row, loads message 3 and shows it unless silent.
void ParseVRNError(_error error, CVRNManager* manager);

}  // namespace qz
