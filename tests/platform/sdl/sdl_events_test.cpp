// Events on SDL: synthetic SDL events in, the core's events out.
#include "platform/sdl/sdl_events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "platform/sdl/sdl_display.h"

namespace talvaro {
namespace {

using Events = std::vector<Event>;

void push_key(SDL_Keycode sym, SDL_Scancode scancode, bool down = true, Uint16 modifiers = 0, Uint8 repeat = 0) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat;
  event.key.keysym = {scancode, sym, modifiers, 0};
  SDL_PushEvent(&event);
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
  Events wait() {
    Events handed;
    events.wait_events(handed);
    return handed;
  }

  SdlDisplay display;
  int keys_pressed = 0;
  int waits = 0;
  SdlEvents events{display, {[this] { ++keys_pressed; }, [this] { ++waits; }}};
};

TEST_F(SdlEventsTest, KeysArriveAsVirtualKeyCodesWithoutRepeats) {
  const std::tuple<SDL_Keycode, SDL_Scancode, Uint16, int> cases[] = {
      {SDLK_a, SDL_SCANCODE_A, KMOD_LSHIFT, 65},  // Shift does not change a letter
      {SDLK_q, SDL_SCANCODE_Q, KMOD_CAPS, 81},
      {SDLK_0, SDL_SCANCODE_0, 0, 48},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, 0, 13},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, 0, 37},
      {SDLK_F1, SDL_SCANCODE_F1, 0, 112},
      {SDLK_PERIOD, SDL_SCANCODE_PERIOD, 0, 190},
      {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT, 16},
      {SDLK_LALT, SDL_SCANCODE_LALT, 0, 18},
      {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0, 186},
      {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, 0, 222},
      // The keypad never passes for the main keys.
      {SDLK_KP_5, SDL_SCANCODE_KP_5, 0, 101},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 0, other_key_code},
      // Other layouts: AZERTY's digit row and A key, a Cyrillic letter key,
      // a German punctuation key.
      {0xE9, SDL_SCANCODE_2, 0, 50},
      {SDLK_a, SDL_SCANCODE_Q, 0, 65},
      {0x444, SDL_SCANCODE_A, 0, 65},
      {0xF6, SDL_SCANCODE_SEMICOLON, 0, 186},
      {SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP, 0, other_key_code},
  };
  Events expected;
  for (const auto& [sym, scancode, modifiers, code] : cases) {
    push_key(sym, scancode, true, modifiers);
    push_key(sym, scancode, true, modifiers, 1);  // a repeat: ignored
    push_key(sym, scancode, false, modifiers);
    expected.insert(expected.end(), {{event_key_down, code}, {event_key_up, 0}});
  }
  EXPECT_EQ(wait(), expected);
  // The sound output is told of every press, and of the wait before them.
  EXPECT_EQ(keys_pressed, static_cast<int>(std::size(cases)));
  EXPECT_EQ(waits, 1);
}

TEST_F(SdlEventsTest, TimerTicksThatFallDueMeanwhileMergeIntoOneAfterTheKeys) {
  events.start_timer(10);
  SDL_Delay(100);
  push_key(SDLK_F1, SDL_SCANCODE_F1);
  // The merged tick stands for the latest one: the key taken in with it first.
  EXPECT_EQ(wait(), (Events{{event_key_down, 112}, {event_timer, 0}}));
  // The timer goes on: the next wait gets the next tick.
  EXPECT_EQ(wait(), (Events{{event_timer, 0}}));
  events.stop_timer();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  push_key(SDLK_q, SDL_SCANCODE_Q);
  EXPECT_EQ(wait(), (Events{{event_key_down, 81}}));
}

TEST_F(SdlEventsTest, CloseIsOneRequestAndAnExposeRepaintsFromTheSurface) {
  ASSERT_TRUE(display.open_window({"panel", 0, 0, 200, 100}));
  ASSERT_GT(display.draw_text(0, 0, "Found", {"Ariel", 30, 700}, 255), 0);
  SDL_Surface* screen = SDL_GetWindowSurface(SDL_GetWindowFromID(display.window_id()));
  ASSERT_NE(screen, nullptr);
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

  push_window_event(display.window_id(), SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  push_window_event(display.window_id(), SDL_WINDOWEVENT_EXPOSED);
  // The expose is answered here and not handed on; the window stays open.
  EXPECT_EQ(wait(), (Events{{event_close, 0}}));
  EXPECT_NE(SDL_GetWindowFromID(display.window_id()), nullptr);
  Uint32 corner = 0;
  std::memcpy(&corner, screen->pixels, screen->format->BytesPerPixel);
  Uint8 r = 0, g = 0, b = 0;
  SDL_GetRGB(corner, screen->format, &r, &g, &b);
  EXPECT_EQ((r << 16) | (g << 8) | b, display.pixel(0, 0));
  EXPECT_NE(display.pixel(0, 0), 0);
}

}  // namespace
}  // namespace talvaro
