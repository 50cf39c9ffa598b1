// Table-driven IDispatch shared by every class of the diagnostics control.
// Each object registers its members by name in its constructor; scripts reach
// them through GetIDsOfNames/Invoke, so no type library is needed.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

namespace qzk {

// Live objects and server locks, for DllCanUnloadNow.
extern LONG g_objectCount;
extern LONG g_lockCount;
extern HINSTANCE g_module;

// Thrown by an argument accessor; Invoke turns it into its HRESULT.
struct DispError {
  HRESULT hr;
  UINT arg;  // index of the offending argument (script order) or ~0u
};

// Positional arguments in script order (DISPPARAMS stores them reversed).
class Args {
 public:
  explicit Args(const DISPPARAMS* params) : params_(params) {}
  UINT count() const { return params_->cArgs; }
  // Present and neither missing, undefined nor null.
  bool has(UINT i) const;
  std::wstring str(UINT i, const std::wstring& fallback = std::wstring()) const;
  long num(UINT i, long fallback = 0) const;

 private:
  const VARIANT& at(UINT i) const { return params_->rgvarg[params_->cArgs - 1 - i]; }
  const DISPPARAMS* params_;
};

// The member's return value; a null target (caller ignores it) is allowed.
class Result {
 public:
  explicit Result(VARIANT* target) : target_(target) {}
  void str(const std::wstring& value);
  // Whole numbers that fit 32 bits come back as VT_I4, others as VT_R8.
  void num(double value);
  void boolean(bool value);
  // Takes over the caller's reference.
  void object(IDispatch* value);

 private:
  VARIANT* target_;
};

class DispObject : public IDispatch {
 public:
  DispObject();
  virtual ~DispObject();

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

 protected:
  using Handler = std::function<void(const Args&, Result&)>;
  // Members answer both a property read and a method call, so rule texts
  // may write either `o.Count` or `o.Count()`. All members are read-only.
  void member(const wchar_t* name, UINT minArgs, UINT maxArgs, Handler handler);
  void property(const wchar_t* name, Handler handler) { member(name, 0, 0, handler); }

 private:
  struct Member {
    std::wstring name;
    UINT minArgs;
    UINT maxArgs;
    Handler handler;
  };
  std::vector<Member> members_;
  LONG refs_;
};

// Small helpers used by several classes.
std::wstring formatVersion(DWORD ms, DWORD ls);
bool sameText(const std::wstring& a, const std::wstring& b);  // case-insensitive

// A function newer than Windows 2000, looked up in an already loaded system
// DLL; nullptr where the system lacks it.
template <typename Fn>
Fn systemFunction(const wchar_t* module, const char* name) {
  HMODULE m = GetModuleHandleW(module);
  FARPROC p = m ? GetProcAddress(m, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

}  // namespace qzk
