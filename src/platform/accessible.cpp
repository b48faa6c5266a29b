#include "platform/accessible.h"

#include <oleacc.h>

#include "platform/system_library.h"

namespace ek::platform {
namespace {

// A name for the screen reader, in the string type of the automation
// library, which is loaded when a screen reader first asks, not with every
// run; null when it cannot be had.
BSTR AllocString(const std::wstring& text) {
  static const auto alloc = SystemFunction<decltype(&::SysAllocString)>(L"oleaut32.dll", "SysAllocString");
  return alloc ? alloc(text.c_str()) : nullptr;
}

// Forwards everything to the standard object but the name, role and item
// states it was told.
class AccessibleProxy final : public IAccessible {
 public:
  virtual ~AccessibleProxy() = default;
  AccessibleProxy(IAccessible* inner, AccessibleOverride o) : inner_(inner), o_(std::move(o)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
      inner_->Release();
      delete this;
    }
    return static_cast<ULONG>(n);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
    return inner_->GetIDsOfNames(r, n, c, l, d);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                   UINT* a) override {
    return inner_->Invoke(d, r, l, f, p, v, e, a);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
    if (o_.itemCount > 0 && n) {
      *n = o_.itemCount;
      return S_OK;
    }
    return inner_->get_accChildCount(n);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override { return inner_->get_accChild(c, d); }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (IsSelf(child) && !o_.name.empty() && name) {
      *name = AllocString(o_.name);
      return *name ? S_OK : E_OUTOFMEMORY;
    }
    if (IsItem(child) && o_.itemName && name) {
      *name = AllocString(o_.itemName(child.lVal));
      return *name ? S_OK : E_OUTOFMEMORY;
    }
    return inner_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return inner_->get_accValue(c, v); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* d) override { return inner_->get_accDescription(c, d); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if ((IsSelf(child) && o_.role != 0) || IsItem(child)) {
      if (!role) return E_POINTER;
      role->vt = VT_I4;
      role->lVal = IsItem(child) ? ROLE_SYSTEM_LISTITEM : o_.role;
      return S_OK;
    }
    return inner_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (IsItem(child)) {
      if (!state) return E_POINTER;
      VARIANT inner;
      inner.vt = VT_EMPTY;
      long bits = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
      if (SUCCEEDED(inner_->get_accState(child, &inner)) && inner.vt == VT_I4) bits = inner.lVal;
      state->vt = VT_I4;
      state->lVal = bits | (o_.itemState ? o_.itemState(child.lVal) : 0);
      return S_OK;
    }
    HRESULT hr = inner_->get_accState(child, state);
    if (SUCCEEDED(hr) && state && state->vt == VT_I4 && IsSelf(child)) state->lVal |= o_.state;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override { return inner_->get_accHelp(c, h); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
    return inner_->get_accHelpTopic(f, c, t);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
    return inner_->get_accKeyboardShortcut(c, k);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override { return inner_->get_accFocus(c); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override { return inner_->get_accSelection(c); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
    return inner_->get_accDefaultAction(c, a);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override { return inner_->accSelect(f, c); }
  HRESULT STDMETHODCALLTYPE accLocation(long* l, long* t, long* w, long* h, VARIANT c) override {
    return inner_->accLocation(l, t, w, h, c);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long n, VARIANT s, VARIANT* e) override { return inner_->accNavigate(n, s, e); }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override { return inner_->accHitTest(x, y, c); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return inner_->accDoDefaultAction(c); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return inner_->put_accName(c, n); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return inner_->put_accValue(c, v); }

 private:
  static bool IsSelf(const VARIANT& v) { return v.vt == VT_I4 && v.lVal == CHILDID_SELF; }
  bool IsItem(const VARIANT& v) const { return v.vt == VT_I4 && v.lVal > 0 && v.lVal <= o_.itemCount; }

  LONG refs_ = 1;
  IAccessible* inner_;
  AccessibleOverride o_;
};

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const AccessibleOverride& o) {
  if (static_cast<LONG>(lp) != OBJID_CLIENT) return 0;
  if (o.name.empty() && o.role == 0 && o.state == 0 && o.itemCount == 0) return 0;
  // oleacc.dll is not a known DLL: imported, it would be looked for beside
  // the setup file first.
  static const auto createStd =
      SystemFunction<decltype(&::CreateStdAccessibleObject)>(L"oleacc.dll", "CreateStdAccessibleObject");
  static const auto fromObject = SystemFunction<decltype(&::LresultFromObject)>(L"oleacc.dll", "LresultFromObject");
  if (!createStd || !fromObject) return 0;
  IAccessible* inner = nullptr;
  if (FAILED(createStd(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&inner))) ||
      !inner)
    return 0;
  auto* proxy = new AccessibleProxy(inner, o);
  const LRESULT r = fromObject(__uuidof(IAccessible), wp, static_cast<IAccessible*>(proxy));
  proxy->Release();  // LresultFromObject holds its own reference
  return r > 0 ? r : 0;
}

}  // namespace ek::platform
