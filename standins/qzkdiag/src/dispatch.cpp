#include "dispatch.h"

#include <cstdio>
#include <new>

namespace qzk {

LONG g_objectCount = 0;
LONG g_lockCount = 0;
HINSTANCE g_module = nullptr;

namespace {

bool isAbsent(const VARIANT& v) {
  const VARIANT* p = &v;
  if (V_VT(p) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(p)) p = V_VARIANTREF(p);
  if (V_VT(p) == VT_EMPTY || V_VT(p) == VT_NULL) return true;
  return V_VT(p) == VT_ERROR && V_ERROR(p) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

bool Args::has(UINT i) const { return i < count() && !isAbsent(at(i)); }

std::wstring Args::str(UINT i, const std::wstring& fallback) const {
  if (!has(i)) return fallback;
  VARIANT tmp;
  VariantInit(&tmp);
  HRESULT hr = VariantChangeType(&tmp, const_cast<VARIANT*>(&at(i)), 0, VT_BSTR);
  if (FAILED(hr)) throw DispError{DISP_E_TYPEMISMATCH, i};
  std::wstring out(V_BSTR(&tmp) ? V_BSTR(&tmp) : L"", SysStringLen(V_BSTR(&tmp)));
  VariantClear(&tmp);
  return out;
}

long Args::num(UINT i, long fallback) const {
  if (!has(i)) return fallback;
  VARIANT tmp;
  VariantInit(&tmp);
  HRESULT hr = VariantChangeType(&tmp, const_cast<VARIANT*>(&at(i)), 0, VT_I4);
  if (FAILED(hr)) throw DispError{DISP_E_TYPEMISMATCH, i};
  return V_I4(&tmp);
}

void Result::str(const std::wstring& value) {
  if (!target_) return;
  BSTR b = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (!b) throw std::bad_alloc();
  VariantClear(target_);
  V_VT(target_) = VT_BSTR;
  V_BSTR(target_) = b;
}

void Result::num(double value) {
  if (!target_) return;
  VariantClear(target_);
  if (value >= -2147483648.0 && value <= 2147483647.0 && value == static_cast<long>(value)) {
    V_VT(target_) = VT_I4;
    V_I4(target_) = static_cast<long>(value);
  } else {
    V_VT(target_) = VT_R8;
    V_R8(target_) = value;
  }
}

void Result::boolean(bool value) {
  if (!target_) return;
  VariantClear(target_);
  V_VT(target_) = VT_BOOL;
  V_BOOL(target_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Result::object(IDispatch* value) {
  if (!target_) {
    if (value) value->Release();
    return;
  }
  VariantClear(target_);
  V_VT(target_) = VT_DISPATCH;
  V_DISPATCH(target_) = value;
}

DispObject::DispObject() : refs_(1) { InterlockedIncrement(&g_objectCount); }

DispObject::~DispObject() { InterlockedDecrement(&g_objectCount); }

STDMETHODIMP DispObject::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DispObject::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) DispObject::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP DispObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP DispObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP DispObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT n = 0; n < count; ++n) ids[n] = DISPID_UNKNOWN;
  if (count == 0) return S_OK;
  for (size_t m = 0; m < members_.size(); ++m) {
    if (names[0] && sameText(members_[m].name, names[0])) {
      ids[0] = static_cast<DISPID>(m + 1);
      break;
    }
  }
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  // Named arguments are not supported: any further names are unknown.
  if (count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

STDMETHODIMP DispObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO*, UINT* argErr) {
  if (id < 1 || static_cast<size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  if (!params) params = &none;
  if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
  const Member& m = members_[id - 1];
  if (params->cArgs < m.minArgs || params->cArgs > m.maxArgs) return DISP_E_BADPARAMCOUNT;
  if (result) VariantInit(result);
  Args args(params);
  Result out(result);
  try {
    m.handler(args, out);
    return S_OK;
  } catch (const DispError& e) {
    if (argErr && e.arg < params->cArgs) *argErr = params->cArgs - 1 - e.arg;
    return e.hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void DispObject::member(const wchar_t* name, UINT minArgs, UINT maxArgs, Handler handler) {
  members_.push_back(Member{name, minArgs, maxArgs, std::move(handler)});
}

std::wstring formatVersion(DWORD ms, DWORD ls) {
  wchar_t buf[64];
  swprintf(buf, 64, L"%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(ms)),
           static_cast<unsigned long>(LOWORD(ms)), static_cast<unsigned long>(HIWORD(ls)),
           static_cast<unsigned long>(LOWORD(ls)));
  return buf;
}

bool sameText(const std::wstring& a, const std::wstring& b) {
  if (a == b) return true;
  // English rules rather than the user's (a Turkish "i" would not match
  // "I"); LOCALE_INVARIANT is newer than Windows 2000.
  const LCID english = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
  return CompareStringW(english, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace qzk
