#pragma once
// Owners of the Windows handles the platform layer holds: each handle is
// released once, by the call that belongs to its kind.

#include <windows.h>

#include <utility>

namespace talvaro::win32 {

// One handle, given back once by its kind's release call. Kind names the
// handle type, the value that means "none" and the release call.
template <class Kind>
class Owned {
 public:
  using Handle = typename Kind::Handle;
  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Kind::none())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Kind::none()));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Kind::none(); }
  explicit operator bool() const { return valid(); }
  void reset(Handle handle = Kind::none()) {
    if (handle_ != Kind::none()) Kind::release(handle_);
    handle_ = handle;
  }
  // Hands the handle on to a new owner outside this class.
  Handle release() { return std::exchange(handle_, Kind::none()); }

 private:
  Handle handle_ = Kind::none();
};

// CreateFile reports failure with INVALID_HANDLE_VALUE, the other calls
// with null.
struct FileKind {
  using Handle = HANDLE;
  static Handle none() { return INVALID_HANDLE_VALUE; }
  static void release(Handle handle) { ::CloseHandle(handle); }
};
struct MemoryDcKind {
  using Handle = HDC;
  static Handle none() { return nullptr; }
  static void release(Handle dc) { ::DeleteDC(dc); }
};
template <class Object>
struct GdiObjectKind {
  using Handle = Object;
  static Handle none() { return nullptr; }
  static void release(Handle object) { ::DeleteObject(object); }
};
struct WindowKind {
  using Handle = HWND;
  static Handle none() { return nullptr; }
  static void release(Handle window) { ::DestroyWindow(window); }
};
struct RegistryKeyKind {
  using Handle = HKEY;
  static Handle none() { return nullptr; }
  static void release(Handle key) { ::RegCloseKey(key); }
};

using File = Owned<FileKind>;
using MemoryDc = Owned<MemoryDcKind>;
using Bitmap = Owned<GdiObjectKind<HBITMAP>>;
using Font = Owned<GdiObjectKind<HFONT>>;
using Window = Owned<WindowKind>;
using RegistryKey = Owned<RegistryKeyKind>;

// The device context of a window, for the length of one drawing.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The painting of a window's invalid region, for the length of WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintDc() { ::EndPaint(window_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC get() const { return dc_; }
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

}  // namespace talvaro::win32
