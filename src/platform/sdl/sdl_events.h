#pragma once
// The panel's events on SDL: keys as Windows virtual-key codes, the close
// request, and the poll timer, whose ticks merge while one is still pending
// and come after the input handed over with them.
// Window events that ask for the window's contents again are answered here
// from the display's drawing surface; they are not handed to the core.

#include <SDL.h>

#include <functional>
#include <vector>

#include "core/platform.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_handles.h"

namespace talvaro {

// The virtual-key code the panel expects for a key: letters 65-90 whatever
// the Shift state, main digits 48-57, the named keys, keypad 96-111, the
// punctuation keys 186-192 and 219-222; every other key gets other_key_code.
int virtual_key_code(const SDL_Keysym& key);
// The one code of keys that have no virtual-key code; no command uses it.
inline constexpr int other_key_code = 255;

class SdlEvents final : public EventSource {
 public:
  // Calls that the event source makes for others (the sound output).
  struct Hooks {
    // A key has been pressed: its clip will follow.
    std::function<void()> key_pressed;
    // The program is about to wait for events: at least once per poll timer
    // period while the timer runs.
    std::function<void()> before_waiting;
  };

  explicit SdlEvents(SdlDisplay& display, Hooks hooks = {});
  ~SdlEvents() override;
  SdlEvents(const SdlEvents&) = delete;
  SdlEvents& operator=(const SdlEvents&) = delete;

  void start_timer(int period_ms) override;
  void stop_timer() override;
  void wait_events(std::vector<Event>& events) override;

 private:
  // Appends the core event for one SDL event, if it is one the core takes,
  // except a poll timer tick: true for that, which the caller hands over
  // once, after the rest. The events of this hand-over start at index first.
  bool translate(const SDL_Event& event, std::vector<Event>& events, std::size_t first);

  SdlDisplay& display_;
  Hooks hooks_;
  sdl::Subsystem subsystem_{SDL_INIT_EVENTS | SDL_INIT_TIMER};
  // The SDL event type of the poll timer's tick, registered per instance.
  Uint32 tick_type_ = 0;
  SDL_TimerID timer_ = 0;
};

}  // namespace talvaro
