#include "platform/win32/win32_events.h"

#include <algorithm>

#include "platform/win32/win32_display.h"

namespace talvaro {

namespace {

// Bit 30 of a key message's lParam: the key was already down (auto-repeat).
constexpr LPARAM key_was_down = LPARAM{1} << 30;

}  // namespace

bool translate_message(const MSG& message, UINT_PTR timer, std::vector<Event>& events, std::size_t first) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      // Held keys do not repeat on the panel.
      if ((message.lParam & key_was_down) == 0) events.push_back({event_key_down, static_cast<int>(message.wParam)});
      return false;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      events.push_back({event_key_up, 0});
      return false;
    case close_request_message:
    case WM_QUIT:
      if (events.size() == first || events.back().code != event_close) events.push_back({event_close, 0});
      return false;
    case WM_TIMER:
      // A tick of a timer stopped meanwhile is dropped.
      return timer != 0 && message.hwnd == nullptr && message.wParam == timer;
    default:
      return false;
  }
}

Win32Events::~Win32Events() { stop_timer(); }

void Win32Events::start_timer(int period_ms) {
  stop_timer();
  timer_ = SetTimer(nullptr, 0, static_cast<UINT>(std::max(period_ms, USER_TIMER_MINIMUM)), nullptr);
}

void Win32Events::stop_timer() {
  if (timer_ == 0) return;
  KillTimer(nullptr, timer_);
  timer_ = 0;
  // A tick already pending is dropped with the timer.
  MSG pending;
  while (PeekMessageA(&pending, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
  }
}

void Win32Events::wait_events(std::vector<Event>& events) {
  const std::size_t before = events.size();
  bool tick = false;
  MSG message;
  const auto take = [&] {
    tick = translate_message(message, timer_, events, before) || tick;
    // Painting, the window's own keys (Alt+F4) and the close box.
    if (message.message != WM_QUIT) DispatchMessageA(&message);
  };
  while (events.size() == before && !tick) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // No message can ever arrive: let the program end in its usual order.
      events.push_back({event_close, 0});
      return;
    }
    take();
    // Everything else queued, in order, without waiting again.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) take();
  }
  // The pending tick stands for the latest one that fell due: it comes after
  // the input taken in with it.
  if (tick) events.push_back({event_timer, 0});
}

}  // namespace talvaro
