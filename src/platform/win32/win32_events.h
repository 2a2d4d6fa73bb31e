#pragma once
// The panel's events on the Windows message queue: key-down and key-up with
// their virtual-key codes, the close request and the poll timer. The thread
// sleeps in GetMessage while nothing happens. Windows keeps at most one
// WM_TIMER pending and hands it over only when no input is waiting, so ticks
// that fall due while a clip plays merge into one that comes after the keys.

#include <windows.h>

#include <vector>

#include "core/platform.h"

namespace talvaro {

// The core event for one message, if it is one the core takes, except the
// poll tick: true for that, which the caller hands over once, after the rest.
// The events of this hand-over start at index first.
bool translate_message(const MSG& message, UINT_PTR timer, std::vector<Event>& events, std::size_t first);

class Win32Events final : public EventSource {
 public:
  Win32Events() = default;
  ~Win32Events() override;
  Win32Events(const Win32Events&) = delete;
  Win32Events& operator=(const Win32Events&) = delete;

  void start_timer(int period_ms) override;
  void stop_timer() override;
  void wait_events(std::vector<Event>& events) override;

 private:
  // The thread timer's id, 0 while it is stopped.
  UINT_PTR timer_ = 0;
};

}  // namespace talvaro
