// The reference for memory: a Windows program that does nothing but show a
// window for a moment, so that the benchmark can say how much of the setup's
// working set is Wine's and the window system's own.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"empty", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 200,
                                  nullptr, nullptr, instance, nullptr);
  ::ShowWindow(window, SW_SHOW);
  const ULONGLONG end = ::GetTickCount64() + 1000;
  MSG msg;
  while (::GetTickCount64() < end) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
  ::DestroyWindow(window);
  return 0;
}
