// COM server plumbing: the class table, the class factory, the four
// standard exports and self-registration under HKEY_CLASSES_ROOT.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <new>
#include <string>

#include "classes.h"
#include "dispatch.h"

namespace qzk {
namespace {

struct ClassEntry {
  const wchar_t* name;
  CLSID clsid;
  IDispatch* (*create)();
};

// The CLSIDs differ only in their first field: {2DAE70nn-374D-46D0-83BB-393D12CBF675}.
#define QZK_CLSID(n)                                                                      \
  {                                                                                       \
    0x2DAE7000u + (n), 0x374D, 0x46D0, { 0x83, 0xBB, 0x39, 0x3D, 0x12, 0xCB, 0xF6, 0x75 } \
  }

const ClassEntry kClasses[] = {
    {L"QZRegUtil", QZK_CLSID(0x01), CreateRegUtil},
    {L"QZFileUtil", QZK_CLSID(0x02), CreateFileUtil},
    {L"QZIniFileUtil", QZK_CLSID(0x03), CreateIniFileUtil},
    {L"QZOperatingSystem", QZK_CLSID(0x04), CreateOperatingSystem},
    {L"QZDeviceUtil", QZK_CLSID(0x05), CreateDeviceUtil},
    {L"QZLogicalDriveInfo", QZK_CLSID(0x06), CreateLogicalDriveInfo},
    {L"QZPDriverRead", QZK_CLSID(0x07), CreateDriverRead},
    {L"QZPDriversCollection", QZK_CLSID(0x08), CreateDriversCollection},
    {L"QZPJobRead", QZK_CLSID(0x09), CreateJobRead},
    {L"QZPJobsCollection", QZK_CLSID(0x0A), CreateJobsCollection},
    {L"QZPMonitorRead", QZK_CLSID(0x0B), CreateMonitorRead},
    {L"QZPMonitorsCollection", QZK_CLSID(0x0C), CreateMonitorsCollection},
    {L"QZPPortRead", QZK_CLSID(0x0D), CreatePortRead},
    {L"QZPPortsCollection", QZK_CLSID(0x0E), CreatePortsCollection},
    {L"QZPProcessorsCollection", QZK_CLSID(0x0F), CreateProcessorsCollection},
    {L"QZPrinterRead", QZK_CLSID(0x10), CreatePrinterRead},
    {L"QZPrintersCollection", QZK_CLSID(0x11), CreatePrintersCollection},
    {L"QZSystemBoardInfo", QZK_CLSID(0x12), CreateSystemBoardInfo},
};

const wchar_t kProgIdPrefix[] = L"QZKelvaDiags.";

class ClassFactory : public IClassFactory {
 public:
  explicit ClassFactory(const ClassEntry& entry) : entry_(entry), refs_(1) {
    InterlockedIncrement(&g_objectCount);
  }
  virtual ~ClassFactory() { InterlockedDecrement(&g_objectCount); }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IDispatch* obj = nullptr;
    try {
      obj = entry_.create();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    if (!obj) return E_OUTOFMEMORY;
    HRESULT hr = obj->QueryInterface(riid, out);
    obj->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_lockCount);
    else
      InterlockedDecrement(&g_lockCount);
    return S_OK;
  }

 private:
  const ClassEntry& entry_;
  LONG refs_;
};

std::wstring clsidText(const CLSID& clsid) {
  wchar_t buf[40] = {};
  StringFromGUID2(clsid, buf, 40);
  return buf;
}

bool setValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& data) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

// RegDeleteKeyW on NT will not remove a key that has subkeys, and
// RegDeleteTreeW is newer than Windows 2000: walk the tree ourselves.
LONG deleteTree(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  for (;;) {
    wchar_t child[256];
    DWORD len = 256;
    // Always index 0: the previous child is gone by now.
    if (RegEnumKeyExW(key, 0, child, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (deleteTree(key, child) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(root, path.c_str());
}

HRESULT registerClass(const ClassEntry& c, const std::wstring& modulePath) {
  const std::wstring progId = std::wstring(kProgIdPrefix) + c.name;
  const std::wstring clsid = clsidText(c.clsid);
  const std::wstring description = std::wstring(L"QZKelvaDiags ") + c.name;
  const std::wstring clsKey = L"CLSID\\" + clsid;
  bool ok =
      setValue(HKEY_CLASSES_ROOT, progId, nullptr, description) &&
      setValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, clsid) &&
      setValue(HKEY_CLASSES_ROOT, clsKey, nullptr, description) &&
      setValue(HKEY_CLASSES_ROOT, clsKey + L"\\InprocServer32", nullptr, modulePath) &&
      setValue(HKEY_CLASSES_ROOT, clsKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
      setValue(HKEY_CLASSES_ROOT, clsKey + L"\\ProgID", nullptr, progId);
  return ok ? S_OK : SELFREG_E_CLASS;
}

void unregisterClass(const ClassEntry& c) {
  deleteTree(HKEY_CLASSES_ROOT, std::wstring(kProgIdPrefix) + c.name);
  deleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + clsidText(c.clsid));
}

}  // namespace
}  // namespace qzk

using namespace qzk;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const ClassEntry& c : kClasses) {
    if (!IsEqualCLSID(clsid, c.clsid)) continue;
    ClassFactory* factory = new (std::nothrow) ClassFactory(c);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return (g_objectCount == 0 && g_lockCount == 0) ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  DWORD len = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (len == 0 || len >= MAX_PATH) return SELFREG_E_CLASS;
  for (const ClassEntry& c : kClasses) {
    HRESULT hr = registerClass(c, path);
    if (FAILED(hr)) {
      // Leave nothing half-registered behind.
      for (const ClassEntry& u : kClasses) unregisterClass(u);
      return hr;
    }
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  for (const ClassEntry& c : kClasses) unregisterClass(c);
  return S_OK;
}
