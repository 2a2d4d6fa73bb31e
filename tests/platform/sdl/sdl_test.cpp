// SDL's audio and events on its stand-in drivers: no display server and no
// sound card needed. The window's drawing is proven end to end.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"

namespace talvaro {
namespace {

std::shared_ptr<Sound> tone(double seconds, int rate = 22050, int bits = 16, int channels = 1) {
  auto sound = std::make_shared<Sound>();
  sound->path = "tone.wav";
  std::tie(sound->sample_rate, sound->bits_per_sample, sound->channels) = std::tuple{rate, bits, channels};
  sound->samples.resize(static_cast<std::size_t>(seconds * rate) * static_cast<std::size_t>(channels * bits / 8));
  return sound;
}

double seconds_taken(SdlAudio& audio, std::shared_ptr<const Sound> sound, bool wait = true) {
  const auto start = std::chrono::steady_clock::now();
  audio.play(std::move(sound), wait);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The disk driver takes the samples at the device's rate: a waiting clip
// lasts at least its length, whatever its shape; one not waited for, or one
// that cannot be played, returns at once.
TEST(SdlAudio, WaitingClipLastsItsLengthOnTheDiskDriver) {
  const auto output = std::filesystem::temp_directory_path() / ("talvaro-audio-" + std::to_string(getpid()));
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  {
    SdlAudio audio;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!audio.has_device()) GTEST_SKIP() << "SDL has no disk audio driver here";
    for (const auto& [rate, bits, channels] : {std::tuple{22050, 16, 1}, {8000, 8, 2}, {96000, 32, 2}}) {
      EXPECT_GE(seconds_taken(audio, tone(0.2, rate, bits, channels)), 0.199) << rate << " Hz " << bits << " bits";
    }
    EXPECT_LT(seconds_taken(audio, tone(20.0), false), 10.0) << "a new clip is not queued behind one sounding";
    EXPECT_LT(seconds_taken(audio, tone(0.1)), 10.0);
    auto slow = tone(1.0, 22050, 8);
    slow->sample_rate = 10;  // 22050 bytes at 10 Hz would be half an hour
    EXPECT_LT(seconds_taken(audio, slow), 10.0);
  }
  std::filesystem::remove(output);
}

void push_key(SDL_Keycode sym, SDL_Scancode scancode, bool down = true, Uint8 repeat = 0) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.repeat = repeat;
  event.key.keysym = {scancode, sym, 0, 0};
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

// Keys by position (another layout's letter is the same key), repeats left
// out, the keypad apart from the main keys; ticks that fell due meanwhile
// merge into one, after the keys of the batch.
TEST_F(SdlEventsTest, KeysBeforeTheTickInABatch) {
  events.start_timer(10);
  SDL_Delay(100);
  push_key(SDLK_F1, SDL_SCANCODE_F1);
  push_key(SDLK_F1, SDL_SCANCODE_F1, true, 1);
  push_key(0x444, SDL_SCANCODE_A);
  push_key(0x444, SDL_SCANCODE_A, false);
  push_key(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_key_down, 112},
                                        {event_key_down, 65},
                                        {event_key_up, 0},
                                        {event_key_down, other_key_code},
                                        {event_timer, 0}}));
  EXPECT_EQ(wait(), (std::vector<Event>{{event_timer, 0}})) << "the timer goes on";
  events.stop_timer();
}

TEST_F(SdlEventsTest, WindowCloseAndQuitAreOneCloseRequest) {
  ASSERT_TRUE(display.open_window({"panel", 0, 0, 200, 100}));
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.windowID = display.window_id();
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(wait(), (std::vector<Event>{{event_close, 0}}));
}

}  // namespace
}  // namespace talvaro

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  SDL_Quit();
  return result;
}
