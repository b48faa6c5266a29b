// Owning wrappers for Win32 resources: one template over the close function,
// so no handle is ever closed by hand.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace ek::platform {

template <typename T, typename Traits>
class UniqueResource {
 public:
  UniqueResource() noexcept : value_(Traits::Invalid()) {}
  explicit UniqueResource(T value) noexcept : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  [[nodiscard]] T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }
  [[nodiscard]] T release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  void reset(T value = Traits::Invalid()) noexcept {
    if (value_ != Traits::Invalid()) Traits::Close(value_);
    value_ = value;
  }
  [[nodiscard]] T* put() noexcept {
    reset();
    return &value_;
  }

 private:
  T value_;
};

// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE ...
struct FileHandleTraits {
  [[nodiscard]] static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
// ... OpenProcess, CreateEvent and friends with NULL.
struct HandleTraits {
  [[nodiscard]] static HANDLE Invalid() noexcept { return nullptr; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
  [[nodiscard]] static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
  [[nodiscard]] static HKEY Invalid() noexcept { return nullptr; }
  static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {
  [[nodiscard]] static HMODULE Invalid() noexcept { return nullptr; }
  static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};

using UniqueFile = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;
using UniqueFind = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueHkey = UniqueResource<HKEY, RegKeyTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;

// A COM interface pointer that releases itself.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }
  [[nodiscard]] I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  [[nodiscard]] I** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  I* p_ = nullptr;
};

// COM for the calling thread, for as long as the object lives.
class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

}  // namespace ek::platform
