// Stand-in for the maker's service executable QZZipm12.exe: a real Win32
// service named "TXL Driver QZZ12".
//   QZZipm12.exe /REGSERVER     register (or re-point) the service at this file
//   QZZipm12.exe /UNREGSERVER   stop and delete the service
//   QZZipm12.exe                run as the service (started by the SCM)
// Every action is appended to QZZipm12.log beside the running file, so a
// test sees which copy registered and which one runs.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

const char kServiceName[] = "TXL Driver QZZ12";

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;
DWORD g_checkPoint = 0;

std::string ModulePath() {
  char path[MAX_PATH * 4] = {0};
  GetModuleFileNameA(nullptr, path, sizeof path - 1);
  return path;
}

void Note(const std::string& what) {
  std::string log = ModulePath();
  const std::size_t cut = log.rfind('\\');
  log = (cut == std::string::npos ? std::string() : log.substr(0, cut + 1)) + "QZZipm12.log";
  const HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string line = what + " " + ModulePath() + "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

void Report(DWORD state, DWORD waitHint) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = waitHint;
  status.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : ++g_checkPoint;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING, 1000);
    SetEvent(g_stop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
  g_status = RegisterServiceCtrlHandlerExA(kServiceName, Control, nullptr);
  if (g_status == nullptr) return;
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Start-pending with progress, as the real service does while it finds
  // its devices.
  for (int step = 0; step < 3; ++step) {
    Report(SERVICE_START_PENDING, 2000);
    Sleep(300);
  }
  Report(SERVICE_RUNNING, 0);
  Note("running");
  WaitForSingleObject(g_stop, INFINITE);
  Note("stopped");
  Report(SERVICE_STOPPED, 0);
}

int Register() {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return 1;
  const std::string path = ModulePath();
  int result = 1;
  // A deleted service lingers until its process has ended: wait for it.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const SC_HANDLE created =
        CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (created != nullptr) {
      CloseServiceHandle(created);
      result = 0;
      break;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_EXISTS) {
      const SC_HANDLE existing = OpenServiceA(manager, kServiceName, SERVICE_CHANGE_CONFIG);
      if (existing != nullptr &&
          ChangeServiceConfigA(existing, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                               path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr)) {
        result = 0;
      }
      if (existing != nullptr) CloseServiceHandle(existing);
      if (result == 0 || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) break;
    } else if (error != ERROR_SERVICE_MARKED_FOR_DELETE) {
      break;
    }
    Sleep(50);
  }
  CloseServiceHandle(manager);
  Note(result == 0 ? "registered" : "registration failed");
  return result;
}

int Unregister() {
  const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return 1;
  const SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
  int result = 1;
  if (service != nullptr) {
    SERVICE_STATUS status = {};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    for (int i = 0;
         i < 50 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED;
         ++i) {
      Sleep(100);
    }
    result = DeleteService(service) ? 0 : 1;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && lstrcmpiA(argv[1], "/REGSERVER") == 0) return Register();
  if (argc > 1 && lstrcmpiA(argv[1], "/UNREGSERVER") == 0) return Unregister();
  char name[sizeof kServiceName];
  std::memcpy(name, kServiceName, sizeof kServiceName);
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
