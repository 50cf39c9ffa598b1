#!/usr/bin/env bash
# check-imports.sh [-q] [-k] <exe-or-dll>...
#
# Lists what each Windows binary imports (DLL and function) and fails when
# one would not load on a clean Windows 2000: a DLL that is not part of
# Windows, or a function that Windows 2000's system DLLs do not export.
# With -k (the programs started from a patch folder) every imported DLL must
# also be a known DLL, which Windows maps from the system folder whatever
# lies beside the program: the imports are resolved before the program can
# restrict the search, so any other one could be planted in its folder.
# The deny list holds only functions known to have come later; anything
# found at run time with GetProcAddress does not show up here and is fine.
# -q prints only the failures (for a post-build step).
set -euo pipefail

OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}

quiet=0
known_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    -q) quiet=1 ;;
    -k) known_only=1 ;;
    *) break ;;
  esac
  shift
done
if [ $# -eq 0 ]; then
  echo "usage: $0 [-q] <exe-or-dll>..." >&2
  exit 2
fi

say() { [ "$quiet" -eq 1 ] || echo "$@"; }

# DLLs that every supported Windows has in its system folder.
SYSTEM_DLLS="kernel32.dll user32.dll advapi32.dll ole32.dll oleaut32.dll
shell32.dll setupapi.dll version.dll msvcrt.dll gdi32.dll comctl32.dll
winspool.drv shlwapi.dll ntdll.dll"

# Known DLLs (the KnownDLLs list, or ntdll.dll, which is mapped before any
# search) on every supported Windows. The Setup API, version.dll, comctl32
# and the spooler are not known everywhere: load those from the system
# folder at run time.
KNOWN_DLLS="kernel32.dll user32.dll advapi32.dll ole32.dll oleaut32.dll
shell32.dll msvcrt.dll gdi32.dll ntdll.dll"

# Functions Windows 2000 (SP4) lacks, by the release that brought them.
DENIED_FUNCTIONS="
kernel32.dll:IsWow64Process                  XP SP2
kernel32.dll:IsWow64Process2                 10
kernel32.dll:GetNativeSystemInfo             XP
kernel32.dll:GetSystemWow64DirectoryA        XP
kernel32.dll:GetSystemWow64DirectoryW        XP
kernel32.dll:Wow64DisableWow64FsRedirection  Server 2003 SP1
kernel32.dll:Wow64RevertWow64FsRedirection   Server 2003 SP1
kernel32.dll:Wow64EnableWow64FsRedirection   Server 2003 SP1
kernel32.dll:GetModuleHandleExA              XP
kernel32.dll:GetModuleHandleExW              XP
kernel32.dll:SetDllDirectoryA                XP SP1
kernel32.dll:SetDllDirectoryW                XP SP1
kernel32.dll:AddVectoredExceptionHandler     XP
kernel32.dll:RemoveVectoredExceptionHandler  XP
kernel32.dll:AddVectoredContinueHandler      Vista
kernel32.dll:WTSGetActiveConsoleSessionId    XP
kernel32.dll:GetProcessId                    XP SP1
kernel32.dll:GetThreadId                     Server 2003
kernel32.dll:GetProcessIdOfThread            Server 2003
kernel32.dll:GetProcessHandleCount           XP SP1
kernel32.dll:AttachConsole                   XP
kernel32.dll:CheckRemoteDebuggerPresent      XP SP1
kernel32.dll:EncodePointer                   XP SP2
kernel32.dll:DecodePointer                   XP SP2
kernel32.dll:HeapSetInformation              XP
kernel32.dll:HeapQueryInformation            XP
kernel32.dll:RtlCaptureContext               XP
kernel32.dll:RtlCaptureStackBackTrace        XP
kernel32.dll:TzSpecificLocalTimeToSystemTime XP
kernel32.dll:GetVolumePathNamesForVolumeNameA XP
kernel32.dll:GetVolumePathNamesForVolumeNameW XP
kernel32.dll:GetLogicalProcessorInformation  XP SP3
kernel32.dll:GetNumaHighestNodeNumber        XP SP2
kernel32.dll:SetProcessDEPPolicy             XP SP3
kernel32.dll:FlsAlloc                        Server 2003
kernel32.dll:FlsFree                         Server 2003
kernel32.dll:FlsGetValue                     Server 2003
kernel32.dll:FlsSetValue                     Server 2003
kernel32.dll:SetThreadStackGuarantee         Server 2003 SP1
kernel32.dll:GetCurrentProcessorNumber       Server 2003
kernel32.dll:InterlockedCompareExchange64    Vista
kernel32.dll:GetTickCount64                  Vista
kernel32.dll:GetLocaleInfoEx                 Vista
kernel32.dll:CompareStringEx                 Vista
kernel32.dll:LCMapStringEx                   Vista
kernel32.dll:GetUserDefaultLocaleName        Vista
kernel32.dll:GetSystemDefaultLocaleName      Vista
kernel32.dll:LocaleNameToLCID                Vista
kernel32.dll:LCIDToLocaleName                Vista
kernel32.dll:InitializeCriticalSectionEx     Vista
kernel32.dll:InitOnceExecuteOnce             Vista
kernel32.dll:InitOnceBeginInitialize         Vista
kernel32.dll:InitOnceComplete                Vista
kernel32.dll:InitializeSRWLock               Vista
kernel32.dll:AcquireSRWLockExclusive         Vista
kernel32.dll:AcquireSRWLockShared            Vista
kernel32.dll:ReleaseSRWLockExclusive         Vista
kernel32.dll:ReleaseSRWLockShared            Vista
kernel32.dll:TryAcquireSRWLockExclusive      7
kernel32.dll:TryAcquireSRWLockShared         7
kernel32.dll:InitializeConditionVariable     Vista
kernel32.dll:SleepConditionVariableCS        Vista
kernel32.dll:SleepConditionVariableSRW       Vista
kernel32.dll:WakeConditionVariable           Vista
kernel32.dll:WakeAllConditionVariable        Vista
kernel32.dll:CreateEventExA                  Vista
kernel32.dll:CreateEventExW                  Vista
kernel32.dll:CreateMutexExA                  Vista
kernel32.dll:CreateMutexExW                  Vista
kernel32.dll:CreateSemaphoreExA              Vista
kernel32.dll:CreateSemaphoreExW              Vista
kernel32.dll:CreateThreadpoolWork            Vista
kernel32.dll:SubmitThreadpoolWork            Vista
kernel32.dll:CreateThreadpoolTimer           Vista
kernel32.dll:CancelIoEx                      Vista
kernel32.dll:CreateSymbolicLinkA             Vista
kernel32.dll:CreateSymbolicLinkW             Vista
kernel32.dll:GetFinalPathNameByHandleA       Vista
kernel32.dll:GetFinalPathNameByHandleW       Vista
kernel32.dll:GetFileInformationByHandleEx    Vista
kernel32.dll:SetFileInformationByHandle      Vista
kernel32.dll:QueryFullProcessImageNameA      Vista
kernel32.dll:QueryFullProcessImageNameW      Vista
kernel32.dll:GetErrorMode                    Vista
kernel32.dll:GetDynamicTimeZoneInformation   Vista
kernel32.dll:SetThreadErrorMode              7
kernel32.dll:GetLogicalProcessorInformationEx 7
kernel32.dll:GetSystemTimePreciseAsFileTime  8
advapi32.dll:SystemFunction036               XP
advapi32.dll:CreateWellKnownSid              XP
advapi32.dll:RegGetValueA                    Vista
advapi32.dll:RegGetValueW                    Vista
advapi32.dll:RegDeleteKeyExA                 Vista
advapi32.dll:RegDeleteKeyExW                 Vista
advapi32.dll:RegSetKeyValueA                 Vista
advapi32.dll:RegSetKeyValueW                 Vista
advapi32.dll:RegDeleteTreeA                  Vista
advapi32.dll:RegDeleteTreeW                  Vista
advapi32.dll:RegCopyTreeA                    Vista
advapi32.dll:RegCopyTreeW                    Vista
advapi32.dll:RegLoadMUIStringW               Vista
advapi32.dll:EventRegister                   Vista
advapi32.dll:EventWrite                      Vista
user32.dll:PrintWindow                       XP
user32.dll:GetLayeredWindowAttributes        XP
user32.dll:RegisterRawInputDevices           XP
user32.dll:GetRawInputData                   XP
user32.dll:SetProcessDPIAware                Vista
user32.dll:IsProcessDPIAware                 Vista
user32.dll:ChangeWindowMessageFilter         Vista
user32.dll:ChangeWindowMessageFilterEx       7
user32.dll:ShutdownBlockReasonCreate         Vista
user32.dll:ShutdownBlockReasonDestroy        Vista
user32.dll:AddClipboardFormatListener        Vista
shell32.dll:SHGetKnownFolderPath             Vista
shell32.dll:SHGetKnownFolderIDList           Vista
shell32.dll:SHCreateItemFromParsingName      Vista
shell32.dll:SHGetStockIconInfo               Vista
ole32.dll:CoGetApartmentType                 7
version.dll:GetFileVersionInfoExA            Vista
version.dll:GetFileVersionInfoExW            Vista
version.dll:GetFileVersionInfoSizeExA        Vista
version.dll:GetFileVersionInfoSizeExW        Vista
setupapi.dll:SetupDiGetDevicePropertyW       Vista
msvcrt.dll:___lc_codepage_func               XP
msvcrt.dll:___lc_handle_func                 XP
msvcrt.dll:___mb_cur_max_func                XP
msvcrt.dll:_scprintf                         XP
msvcrt.dll:_vscprintf                        XP
msvcrt.dll:_scwprintf                        XP
msvcrt.dll:_vscwprintf                       XP
msvcrt.dll:_fseeki64                         Vista
msvcrt.dll:_ftelli64                         Vista
msvcrt.dll:strnlen                           Vista
msvcrt.dll:wcsnlen                           Vista
msvcrt.dll:rand_s                            Vista
msvcrt.dll:_get_errno                        Vista
msvcrt.dll:_set_errno                        Vista
msvcrt.dll:_set_invalid_parameter_handler    Vista
msvcrt.dll:_get_invalid_parameter_handler    Vista
msvcrt.dll:_invalid_parameter                Vista
msvcrt.dll:_set_abort_behavior               Vista
msvcrt.dll:_get_output_format                Vista
msvcrt.dll:_set_output_format                Vista
msvcrt.dll:_create_locale                    Vista
msvcrt.dll:_free_locale                      Vista
"

# Prints "dll<TAB>function" for every import of a binary; an import by
# ordinal prints as "#<ordinal>".
list_imports() {
  "$OBJDUMP" -p "$1" | awk '
    /^The Import Tables/ { inImports = 1; next }
    inImports && /^[A-Z]/ { inImports = 0 }
    !inImports { next }
    /DLL Name:/ { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+\t/ {
      # vma, hint or ordinal, name (absent for an ordinal import)
      if (NF >= 3) print dll "\t" $3; else print dll "\t#" $2
    }'
}

status=0
for binary in "$@"; do
  if [ ! -f "$binary" ]; then
    echo "check-imports: $binary: no such file" >&2
    status=1
    continue
  fi
  if ! imports=$(list_imports "$binary"); then
    echo "check-imports: $binary: cannot read its import table" >&2
    status=1
    continue
  fi
  say "$binary:"
  current=""
  while IFS=$'\t' read -r dll function; do
    [ -z "$dll" ] && continue
    if [ "$dll" != "$current" ]; then
      current=$dll
      known=""
      case " $(echo $KNOWN_DLLS) " in *" $dll "*) known=" (known DLL)" ;; esac
      say "  $dll$known"
      if [ "$known_only" -eq 1 ] && [ -z "$known" ]; then
        echo "check-imports: $binary imports $dll, which Windows may load from the program's folder" >&2
        status=1
      fi
      case " $(echo $SYSTEM_DLLS) " in
        *" $dll "*) ;;
        *) echo "check-imports: $binary imports $dll, which is not a Windows system DLL" >&2
           status=1 ;;
      esac
    fi
    say "    $function"
    denied=$(printf '%s\n' "$DENIED_FUNCTIONS" | awk -v key="$dll:$function" '
      $1 == key { $1 = ""; sub(/^ +/, ""); print; exit }')
    if [ -n "$denied" ]; then
      echo "check-imports: $binary imports $dll!$function, which Windows 2000 lacks (since $denied)" >&2
      status=1
    fi
  done <<< "$imports"
  # Secure CRT functions (*_s) came with Vista's msvcrt.dll.
  if printf '%s\n' "$imports" | grep -qE '^msvcrt\.dll	.*_s$'; then
    printf '%s\n' "$imports" | grep -E '^msvcrt\.dll	.*_s$' | while IFS=$'\t' read -r dll function; do
      echo "check-imports: $binary imports $dll!$function, which Windows 2000 lacks (since Vista)" >&2
    done
    status=1
  fi
done
exit $status
