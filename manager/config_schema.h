// QZVRN.config's elements, once: their names, which are booleans ("TRUE"
// in any case), which hold a list of one item element. ReadConfiguration
// reads by these names and the checker checks against the same table.
#pragma once

namespace qz::schema {

enum class Kind { kText, kBoolean, kList, kParts };

struct Element {
  const wchar_t* name;
  Kind kind;
  const wchar_t* item = nullptr;  // a list's item element
};

inline constexpr wchar_t kParametersBlock[] = L"QZVRN_PARAMETERS";
inline constexpr wchar_t kFileName[] = L"FILENAME";
inline constexpr wchar_t kOsVersion[] = L"OSVERSION";
inline constexpr wchar_t kOs[] = L"OS";
inline constexpr wchar_t kSilentMode[] = L"SILENT_MODE";
inline constexpr wchar_t kUpdates[] = L"UPDATES";
inline constexpr wchar_t kPatchDetails[] = L"PATCH_DETAILS";
inline constexpr wchar_t kShowFinalSuccessMsg[] = L"SHOWFINAL_SUCCESSMSG";
inline constexpr wchar_t kRunFinalRule[] = L"RUNFINAL_RULE";
inline constexpr wchar_t kRuleFinalSuccessMsg[] = L"RULEFINAL_SUCCESSMSG";
inline constexpr wchar_t kRuleFinalFailedMsg[] = L"RULEFINAL_FAILEDMSG";
inline constexpr wchar_t kCleanupRecursive[] = L"CLEANUP_RECURSIVE";
inline constexpr wchar_t kJScriptCode[] = L"JSCRIPTCODE";
inline constexpr wchar_t kHeader[] = L"HEADER";
inline constexpr wchar_t kFooter[] = L"FOOTER";

// The children of QZVRN_PARAMETERS; JSCRIPTCODE holds HEADER and FOOTER.
inline constexpr Element kParameters[] = {
    {kFileName, Kind::kText},
    {kOsVersion, Kind::kList, kOs},
    {kSilentMode, Kind::kBoolean},
    {kUpdates, Kind::kList, kPatchDetails},
    {kShowFinalSuccessMsg, Kind::kBoolean},
    {kRunFinalRule, Kind::kBoolean},
    {kRuleFinalSuccessMsg, Kind::kBoolean},
    {kRuleFinalFailedMsg, Kind::kBoolean},
    {kCleanupRecursive, Kind::kBoolean},
    {kJScriptCode, Kind::kParts},
};

inline constexpr wchar_t kConditionRef[] = L"Condition_Ref";  // an attribute
inline constexpr wchar_t kInstallFileName[] = L"INSTALLFILENAME";
inline constexpr wchar_t kRegKeys[] = L"REGKEYS";
inline constexpr wchar_t kInstallPathRegKey[] = L"INSTALLPATH_REGKEY";
inline constexpr wchar_t kComRegRequired[] = L"COMREG_REQUIRED";
inline constexpr wchar_t kAsmRegRequired[] = L"ASMREG_REQUIRED";
inline constexpr wchar_t kArguments[] = L"ARGUMENTS";
inline constexpr wchar_t kExecutionRequired[] = L"EXECUTION_REQUIRED";
inline constexpr wchar_t kProgId[] = L"PROGID";
inline constexpr wchar_t kParametersList[] = L"PARAMETERS";
inline constexpr wchar_t kParameter[] = L"PARAMETER";

// The children of PATCH_DETAILS.
inline constexpr Element kEntry[] = {
    {kInstallFileName, Kind::kText},
    {kRegKeys, Kind::kList, kInstallPathRegKey},
    {kComRegRequired, Kind::kBoolean},
    {kAsmRegRequired, Kind::kBoolean},
    {kArguments, Kind::kText},
    {kExecutionRequired, Kind::kBoolean},
    {kProgId, Kind::kText},
    {kParametersList, Kind::kList, kParameter},
};

}  // namespace qz::schema
