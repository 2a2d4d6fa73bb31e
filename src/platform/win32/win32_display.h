#pragma once
// The panel window on the Windows API: one top-level window of fixed size
// whose client area is the panel, backed by a memory bitmap. Every print goes
// into the bitmap and straight onto the window as well, so it shows even while
// the program then blocks in a clip; WM_PAINT copies the bitmap again when the
// window has been covered, minimised or restored.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>

#include "core/platform.h"
#include "platform/win32/win32_handles.h"

namespace talvaro {

// Posted to the window when the user asks to close it (close box, Alt+F4):
// the event source turns it into the close event. The window stays until the
// program closes it.
inline constexpr UINT close_request_message = WM_APP + 1;

class Win32Display final : public Display {
 public:
  explicit Win32Display(HINSTANCE instance);
  ~Win32Display() override;
  Win32Display(const Win32Display&) = delete;
  Win32Display& operator=(const Win32Display&) = delete;

  bool open_window(const WindowSpec& spec) override;
  void close_window() override;
  int draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) override;

  // The window, null while none is open.
  HWND window() const { return window_.get(); }
  // Copies the surface to the device context, for WM_PAINT.
  void paint(HDC target, const RECT& area) const;

 private:
  HFONT font_for(const FontSpec& spec);

  HINSTANCE instance_;
  ATOM window_class_ = 0;
  win32::Window window_;
  win32::MemoryDc surface_;
  win32::Bitmap bitmap_;
  HGDIOBJ first_bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int dpi_ = 96;
  // Fonts by (face, points, weight); null when none could be made.
  std::map<std::tuple<std::string, int, int>, win32::Font> fonts_;
};

}  // namespace talvaro
