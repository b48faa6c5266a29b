// What the probes know about the engine's windows: a window's control name
// and its group are window properties holding global atoms.
#pragma once

#include <windows.h>

#include <string>

namespace probe {

inline std::wstring AtomProp(HWND h, const wchar_t* prop) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(::GetPropW(h, prop)));
  if (!atom) return {};
  wchar_t buf[256];
  const UINT n = ::GlobalGetAtomNameW(atom, buf, 256);
  return std::wstring(buf, n);
}

inline std::wstring ControlName(HWND h) { return AtomProp(h, L"EkName"); }
inline std::wstring ParentName(HWND h) { return AtomProp(h, L"EkParent"); }

inline std::wstring ClassOf(HWND h) {
  wchar_t cls[128];
  const int n = ::GetClassNameW(h, cls, 128);
  return std::wstring(cls, static_cast<size_t>(n > 0 ? n : 0));
}

inline std::wstring KindOf(HWND h) { return AtomProp(h, L"EkKind"); }

// Through the message: works across processes, unlike reading the title.
inline std::wstring TextOf(HWND h) {
  static wchar_t buf[32768];
  DWORD_PTR n = 0;
  if (!::SendMessageTimeoutW(h, WM_GETTEXT, 32768, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 3000, &n)) n = 0;
  return std::wstring(buf, static_cast<size_t>(n));
}

}  // namespace probe
