#include "platform/win32/win32_display.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace talvaro {

namespace {

constexpr const char* class_name = "TalvaroPanel";
// A fixed-size window: a caption with the system menu and minimise box, no
// sizing border and no maximise box.
constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Background of a freshly opened window, the light grey of a system window.
constexpr COLORREF background = RGB(0xF0, 0xF0, 0xF0);
constexpr COLORREF paper = RGB(0xFF, 0xFF, 0xFF);
// Faces are named by at most this many characters (LF_FACESIZE less the NUL).
constexpr std::size_t face_name_limit = LF_FACESIZE - 1;
constexpr int largest_pixel_height = 2000;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* display = reinterpret_cast<const Win32Display*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT: {
      const win32::PaintDc dc(window);
      if (dc.get() != nullptr && display != nullptr) display->paint(dc.get(), dc.area());
      return 0;
    }
    case WM_ERASEBKGND:
      // The paint covers the whole client area from the surface.
      return 1;
    case WM_CLOSE:
      // Only the program closes the window, after its shutdown.
      PostMessageA(window, close_request_message, 0, 0);
      return 0;
    case WM_QUERYENDSESSION:
      // Windows is ending the session: the program asks to be let end in its
      // usual order first (the receiver released, the state record written),
      // which takes a moment, and the session waits for that.
      PostMessageA(window, close_request_message, 0, 0);
      return FALSE;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      // F10 and Alt are keys of the panel, not the way into a window menu;
      // Alt+F4 still asks to close.
      if (message == WM_SYSKEYDOWN && wparam == VK_F4) break;
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

Win32Display::Win32Display(HINSTANCE instance) : instance_(instance) {}

Win32Display::~Win32Display() {
  close_window();
  if (window_class_ != 0) UnregisterClassA(class_name, instance_);
}

bool Win32Display::open_window(const WindowSpec& spec) {
  close_window();
  if (spec.width <= 0 || spec.height <= 0) return false;
  if (window_class_ == 0) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance_;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.lpszClassName = class_name;
    window_class_ = RegisterClassA(&window_class);
    if (window_class_ == 0) return false;
  }
  // The window is placed so that its client area is the rectangle asked for.
  RECT frame{spec.left, spec.top, spec.left + spec.width, spec.top + spec.height};
  AdjustWindowRectEx(&frame, window_style, FALSE, 0);
  window_.reset(CreateWindowExA(0, class_name, spec.caption.c_str(), window_style, frame.left, frame.top,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance_, this));
  if (!window_) return false;

  const win32::WindowDc screen(window_.get());
  surface_.reset(CreateCompatibleDC(screen.get()));
  bitmap_.reset(CreateCompatibleBitmap(screen.get(), spec.width, spec.height));
  if (!surface_ || !bitmap_) {
    close_window();
    return false;
  }
  dpi_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
  if (dpi_ <= 0) dpi_ = 96;
  first_bitmap_ = SelectObject(surface_.get(), bitmap_.get());
  width_ = spec.width;
  height_ = spec.height;
  const RECT all{0, 0, width_, height_};
  const win32::Owned<win32::GdiObjectKind<HBRUSH>> brush(CreateSolidBrush(background));
  FillRect(surface_.get(), &all, brush.get());
  SetBkMode(surface_.get(), OPAQUE);
  SetBkColor(surface_.get(), paper);

  ShowWindow(window_.get(), SW_SHOWNORMAL);
  UpdateWindow(window_.get());
  return true;
}

void Win32Display::close_window() {
  // The bitmap and the fonts are deselected before they are deleted.
  if (surface_ && first_bitmap_ != nullptr) SelectObject(surface_.get(), first_bitmap_);
  if (surface_) SelectObject(surface_.get(), GetStockObject(SYSTEM_FONT));
  first_bitmap_ = nullptr;
  fonts_.clear();
  bitmap_.reset();
  surface_.reset();
  window_.reset();
  width_ = height_ = 0;
}

HFONT Win32Display::font_for(const FontSpec& spec) {
  // A new surface's font: the system font.
  if (spec.points == 0) return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  const std::string face = spec.face.substr(0, std::min(spec.face.size(), face_name_limit));
  auto key = std::make_tuple(face, spec.points, spec.weight);
  if (const auto known = fonts_.find(key); known != fonts_.end()) return known->second.get();
  // A negative height asks for the character height, as the points give it.
  const int points = spec.points == INT_MIN ? INT_MAX : std::abs(spec.points);
  // MulDiv answers -1 when the result overflows: the largest height then.
  const int scaled = MulDiv(points, dpi_, 72);
  const int height = scaled < 0 ? largest_pixel_height : std::clamp(scaled, 1, largest_pixel_height);
  HFONT font =
      CreateFontA(-height, 0, 0, 0, std::clamp(spec.weight, 0, 1000), FALSE, FALSE, FALSE, ANSI_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  return fonts_.emplace(std::move(key), win32::Font(font)).first->second.get();
}

int Win32Display::draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) {
  if (!surface_ || text.empty()) return 0;
  HFONT face = font_for(font);
  if (face == nullptr) return 0;
  // A NUL inside the text is drawn as a blank cell.
  std::string line(text);
  std::replace(line.begin(), line.end(), '\0', ' ');
  const int count = static_cast<int>(std::min<std::size_t>(line.size(), 0x7FFFFFFF));

  SelectObject(surface_.get(), face);
  SetTextColor(surface_.get(), static_cast<COLORREF>(rgb) & 0xFFFFFFU);
  SIZE extent{};
  if (!GetTextExtentPoint32A(surface_.get(), line.c_str(), count, &extent)) return 0;
  TextOutA(surface_.get(), x, y, line.c_str(), count);
  // Shown at once, whatever the program does next.
  const win32::WindowDc screen(window_.get());
  if (screen.get() != nullptr) BitBlt(screen.get(), x, y, extent.cx, extent.cy, surface_.get(), x, y, SRCCOPY);
  // A window system may hold drawing back until the thread next looks at
  // its message queue (wine does): a look that takes nothing out lets it
  // show now, while the program may go on to block in a clip.
  MSG none;
  PeekMessageA(&none, nullptr, WM_NULL, WM_NULL, PM_NOREMOVE | PM_NOYIELD);
  return extent.cx;
}

void Win32Display::paint(HDC target, const RECT& area) const {
  if (!surface_) return;
  BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, surface_.get(), area.left,
         area.top, SRCCOPY);
}

}  // namespace talvaro
