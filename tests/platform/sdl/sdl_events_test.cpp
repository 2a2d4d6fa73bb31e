// Events on SDL: synthetic SDL events in, the core's events out.
#include "platform/sdl/sdl_events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/sdl/sdl_display.h"

namespace talvaro {
namespace {

void push_key(SDL_Keycode sym, SDL_Scancode scancode, bool down = true, Uint16 modifiers = 0, Uint8 repeat = 0) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat;
  event.key.keysym.sym = sym;
  event.key.keysym.scancode = scancode;
  event.key.keysym.mod = modifiers;
  SDL_PushEvent(&event);
}

// Waits until a user event (a timer tick) is in the queue, taking nothing.
bool tick_queued() {
  for (int tries = 0; tries < 1000; ++tries) {
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT) > 0) return true;
    SDL_Delay(5);
  }
  return false;
}

void push_window_event(Uint32 window_id, SDL_WindowEventID what) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = window_id;
  event.window.event = what;
  SDL_PushEvent(&event);
}

class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override { SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT); }

  std::vector<Event> wait() {
    std::vector<Event> handed;
    events.wait_events(handed);
    return handed;
  }

  SdlDisplay display;
  SdlEvents events{display};
};

TEST_F(SdlEventsTest, KeysArriveAsVirtualKeyCodes) {
  struct Case {
    SDL_Keycode sym;
    SDL_Scancode scancode;
    Uint16 modifiers;
    int code;
  };
  const Case cases[] = {
      {SDLK_a, SDL_SCANCODE_A, KMOD_LSHIFT, 65},  // Shift does not change a letter
      {SDLK_z, SDL_SCANCODE_Z, 0, 90},
      {SDLK_q, SDL_SCANCODE_Q, KMOD_CAPS, 81},
      {SDLK_0, SDL_SCANCODE_0, 0, 48},
      {SDLK_5, SDL_SCANCODE_5, 0, 53},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, 0, 13},
      {SDLK_SPACE, SDL_SCANCODE_SPACE, 0, 32},
      {SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, 0, 33},
      {SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, 0, 34},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, 0, 37},
      {SDLK_UP, SDL_SCANCODE_UP, 0, 38},
      {SDLK_RIGHT, SDL_SCANCODE_RIGHT, 0, 39},
      {SDLK_DOWN, SDL_SCANCODE_DOWN, 0, 40},
      {SDLK_DELETE, SDL_SCANCODE_DELETE, 0, 46},
      {SDLK_F1, SDL_SCANCODE_F1, 0, 112},
      {SDLK_F7, SDL_SCANCODE_F7, 0, 118},
      {SDLK_F12, SDL_SCANCODE_F12, 0, 123},
      {SDLK_PERIOD, SDL_SCANCODE_PERIOD, 0, 190},
      {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT, 16},
      {SDLK_RCTRL, SDL_SCANCODE_RCTRL, 0, 17},
      {SDLK_LALT, SDL_SCANCODE_LALT, 0, 18},
      {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0, 186},
      {SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, 0, 192},
      {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, 0, 219},
      {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, 0, 222},
      // The keypad never passes for the main keys.
      {SDLK_KP_5, SDL_SCANCODE_KP_5, 0, 101},
      {SDLK_KP_0, SDL_SCANCODE_KP_0, 0, 96},
      {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, 0, 110},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 0, other_key_code},
      // Other layouts: AZERTY's digit row and A key, a Cyrillic letter key,
      // a German punctuation key.
      {0xE9, SDL_SCANCODE_2, 0, 50},
      {SDLK_a, SDL_SCANCODE_Q, 0, 65},
      {0x444, SDL_SCANCODE_A, 0, 65},
      {0xF6, SDL_SCANCODE_SEMICOLON, 0, 186},
      {SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP, 0, other_key_code},
  };
  std::vector<Event> expected;
  for (const Case& c : cases) {
    push_key(c.sym, c.scancode, true, c.modifiers);
    push_key(c.sym, c.scancode, false, c.modifiers);
    expected.push_back({event_key_down, c.code});
    expected.push_back({event_key_up, 0});
  }
  EXPECT_EQ(wait(), expected);
  EXPECT_GT(other_key_code, 0);
  EXPECT_LT(other_key_code, 256);
}

TEST_F(SdlEventsTest, KeyRepeatsAreIgnored) {
  push_key(SDLK_a, SDL_SCANCODE_A, true);
  push_key(SDLK_a, SDL_SCANCODE_A, true, 0, 1);
  push_key(SDLK_a, SDL_SCANCODE_A, true, 0, 1);
  push_key(SDLK_a, SDL_SCANCODE_A, false);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_key_down, 65}, {event_key_up, 0}}));
}

TEST_F(SdlEventsTest, TimerTicksThatFallDueMeanwhileMergeIntoOne) {
  events.start_timer(10);
  SDL_Delay(100);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_timer, 0}}));
  // The timer goes on: the next wait gets the next tick.
  EXPECT_EQ(wait(), (std::vector<Event>{{event_timer, 0}}));

  events.stop_timer();
  push_key(SDLK_q, SDL_SCANCODE_Q);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_key_down, 81}}));
}

TEST_F(SdlEventsTest, KeysAndTicksKeepTheirOrder) {
  events.start_timer(5);
  ASSERT_TRUE(tick_queued());
  push_key(SDLK_F1, SDL_SCANCODE_F1);
  push_key(SDLK_F1, SDL_SCANCODE_F1, false);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_timer, 0}, {event_key_down, 112}, {event_key_up, 0}}));
}

TEST_F(SdlEventsTest, ClosingTheWindowIsOneRequestAndLeavesTheWindowOpen) {
  ASSERT_TRUE(display.open_window({"panel", 0, 0, 200, 100}));
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  push_window_event(display.window_id(), SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_close, 0}}));
  EXPECT_NE(SDL_GetWindowFromID(display.window_id()), nullptr);
}

TEST_F(SdlEventsTest, AnExposedWindowIsRepaintedFromTheSurface) {
  ASSERT_TRUE(display.open_window({"panel", 0, 0, 200, 100}));
  ASSERT_GT(display.draw_text(0, 0, "Found", {"Ariel", 30, 700}, 255), 0);
  SDL_Surface* screen = SDL_GetWindowSurface(SDL_GetWindowFromID(display.window_id()));
  ASSERT_NE(screen, nullptr);
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

  push_window_event(display.window_id(), SDL_WINDOWEVENT_EXPOSED);
  push_key(SDLK_m, SDL_SCANCODE_M);
  // The expose is answered here and not handed on.
  EXPECT_EQ(wait(), (std::vector<Event>{{event_key_down, 77}}));
  Uint32 corner = 0;
  std::memcpy(&corner, screen->pixels, screen->format->BytesPerPixel);
  Uint8 r = 0, g = 0, b = 0;
  SDL_GetRGB(corner, screen->format, &r, &g, &b);
  EXPECT_EQ((r << 16) | (g << 8) | b, display.pixel(0, 0));
  EXPECT_NE(display.pixel(0, 0), 0);
}

}  // namespace
}  // namespace talvaro
