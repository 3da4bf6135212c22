// One owning wrapper for the system's handle kinds: the destructor closes
// what it holds, so no return path has to. Closing keeps the thread's last
// error, so a failure can still be logged after the handles are released.
#pragma once

#include "common/result.h"

#include <windows.h>

template <typename Traits> class UniqueHandle {
public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : handle_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle &) = delete;
  UniqueHandle &operator=(const UniqueHandle &) = delete;
  UniqueHandle(UniqueHandle &&other) noexcept : handle_(other.release()) {}
  UniqueHandle &operator=(UniqueHandle &&other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }

  Type get() const { return handle_; }
  explicit operator bool() const { return Traits::valid(handle_); }
  Type release() {
    Type h = handle_;
    handle_ = Traits::empty();
    return h;
  }
  // Takes ownership of h after closing the old handle; GetLastError survives.
  void reset(Type h = Traits::empty()) {
    DWORD saved = GetLastError();
    (void)close(); // nobody to tell: a failure is for those who close by hand
    handle_ = h;
    SetLastError(saved);
  }
  // Closes the handle now and empties it in every case; fails when the
  // system refused to close it.
  Result close() {
    DWORD error = Traits::valid(handle_) ? Traits::close(handle_) : ERROR_SUCCESS;
    handle_ = Traits::empty();
    return error ? Result::failure(error, Traits::kClose) : Result();
  }
  // For APIs that fill in a handle: the address of an empty slot.
  Type *put() {
    reset();
    return &handle_;
  }

private:
  Type handle_ = Traits::empty();
};

struct ScHandleTraits {
  using Type = SC_HANDLE;
  static Type empty() { return nullptr; }
  static bool valid(Type h) { return h != nullptr; }
  static constexpr const char *kClose = "CloseServiceHandle()";
  static DWORD close(Type h) { return CloseServiceHandle(h) ? ERROR_SUCCESS : GetLastError(); }
};

struct RegKeyTraits {
  using Type = HKEY;
  static Type empty() { return nullptr; }
  static bool valid(Type h) { return h != nullptr; }
  static constexpr const char *kClose = "RegCloseKey()";
  static DWORD close(Type h) { return static_cast<DWORD>(RegCloseKey(h)); }
};

// Kernel handles: both null and INVALID_HANDLE_VALUE mean "none".
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type empty() { return nullptr; }
  static bool valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static constexpr const char *kClose = "CloseHandle()";
  static DWORD close(Type h) { return CloseHandle(h) ? ERROR_SUCCESS : GetLastError(); }
};

// An event log source, from RegisterEventSource.
struct EventSourceTraits {
  using Type = HANDLE;
  static Type empty() { return nullptr; }
  static bool valid(Type h) { return h != nullptr; }
  static constexpr const char *kClose = "DeregisterEventSource()";
  static DWORD close(Type h) { return DeregisterEventSource(h) ? ERROR_SUCCESS : GetLastError(); }
};

// A loaded module, from LoadLibrary.
struct ModuleTraits {
  using Type = HMODULE;
  static Type empty() { return nullptr; }
  static bool valid(Type h) { return h != nullptr; }
  static constexpr const char *kClose = "FreeLibrary()";
  static DWORD close(Type h) { return FreeLibrary(h) ? ERROR_SUCCESS : GetLastError(); }
};

using UniqueScHandle = UniqueHandle<ScHandleTraits>;
using UniqueHKey = UniqueHandle<RegKeyTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueEventSource = UniqueHandle<EventSourceTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
