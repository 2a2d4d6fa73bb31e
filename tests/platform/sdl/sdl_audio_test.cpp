// Clip playback on SDL's audio drivers: a file-writing device that plays in
// real time, and no device at all.
#include "platform/sdl/sdl_audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace talvaro {
namespace {

std::shared_ptr<Sound> tone(double seconds, int rate = 22050, int bits = 16, int channels = 1) {
  auto sound = std::make_shared<Sound>();
  sound->path = "tone.wav";
  sound->sample_rate = rate;
  sound->bits_per_sample = bits;
  sound->channels = channels;
  sound->samples.resize(static_cast<std::size_t>(seconds * rate) * static_cast<std::size_t>(channels * bits / 8));
  for (std::size_t i = 0; i < sound->samples.size(); ++i) sound->samples[i] = static_cast<std::uint8_t>((i / 7) % 256);
  return sound;
}

double seconds_taken(SdlAudio& audio, std::shared_ptr<const Sound> sound, bool wait = true) {
  const auto start = std::chrono::steady_clock::now();
  audio.play(std::move(sound), wait);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// On SDL's disk driver, which takes the samples at the device's rate and
// writes them to a file.
TEST(SdlAudioDevice, PlaysEveryPcmShapeToItsEndAndCutsAClipStillSounding) {
  const std::string output =
      (std::filesystem::temp_directory_path() / ("talvaro-sdl-audio-" + std::to_string(getpid()) + ".raw")).string();
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  {
    SdlAudio audio;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!audio.has_device()) GTEST_SKIP() << "SDL has no disk audio driver here";
    // A waiting clip lasts at least its length: it has been heard to its end.
    EXPECT_GE(seconds_taken(audio, tone(0.3)), 0.299);
    EXPECT_GT(std::filesystem::file_size(output), 0U);
    for (const auto& [rate, bits, channels] :
         {std::tuple{11025, 8, 1}, {8000, 8, 2}, {22050, 16, 2}, {48000, 24, 1}, {96000, 32, 2}, {16000, 16, 6}}) {
      EXPECT_GE(seconds_taken(audio, tone(0.2, rate, bits, channels)), 0.199) << rate << " Hz " << bits << " bits";
    }
    // A new clip is not queued behind one still sounding, nor behind a stopped one.
    EXPECT_LT(seconds_taken(audio, tone(20.0), false), 10.0);
    EXPECT_LT(seconds_taken(audio, tone(0.1)), 10.0);
    audio.play(tone(20.0), false);
    audio.stop();
    EXPECT_LT(seconds_taken(audio, tone(0.1)), 10.0);

    // Unplayable sounds are silent and return at once.
    auto odd_bits = tone(1.0), slow = tone(1.0, 22050, 8), no_channels = tone(1.0);
    odd_bits->bits_per_sample = 12;
    slow->sample_rate = 10;  // 22050 bytes at 10 Hz would be half an hour
    no_channels->channels = 0;
    for (const auto& sound : {odd_bits, slow, no_channels, tone(0.0), std::shared_ptr<Sound>()}) {
      EXPECT_LT(seconds_taken(audio, sound), 10.0);
    }
  }
  std::filesystem::remove(output);
}

// Seconds until the device has been closed, the event loop's release called
// meanwhile as often as it waits; a deadline instead of a fixed sleep.
double seconds_until_closed(SdlAudio& audio) {
  const auto start = std::chrono::steady_clock::now();
  const auto taken = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  while (audio.device_open() && taken() < 10.0) {
    audio.release_when_silent();
    SDL_Delay(10);
  }
  return taken();
}

// On SDL's dummy driver, which plays in real time in silence.
TEST(SdlAudioDevice, IsOpenOnlyAroundClipsAndAKeyReadiesIt) {
  SdlAudio audio;
  ASSERT_TRUE(audio.has_device());
  audio.play(tone(0.1), true);
  audio.release_when_silent();
  EXPECT_TRUE(audio.device_open()) << "kept for the next clip of the same announcement";
  EXPECT_LT(seconds_until_closed(audio), 5.0);
  EXPECT_FALSE(audio.device_open());

  // A clip not waited for keeps it open while it sounds, and a little after.
  audio.play(tone(0.5), false);
  EXPECT_GT(seconds_until_closed(audio), 0.5);
  EXPECT_FALSE(audio.device_open());

  audio.prepare();
  EXPECT_TRUE(audio.device_open());
  EXPECT_GE(seconds_taken(audio, tone(0.2)), 0.199);
  EXPECT_LT(seconds_until_closed(audio), 5.0);
}

TEST(SdlAudioWithoutDevice, AWaitingClipStillTakesItsLength) {
  setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1);
  {
    SdlAudio audio;
    EXPECT_FALSE(audio.has_device());
    EXPECT_GE(seconds_taken(audio, tone(0.2)), 0.19);
    EXPECT_GE(seconds_taken(audio, tone(0.2, 8000, 8, 2)), 0.19);
    EXPECT_LT(seconds_taken(audio, tone(20.0), false), 10.0);
    audio.stop();
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
}  // namespace talvaro
