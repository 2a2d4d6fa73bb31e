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

std::shared_ptr<const Sound> tone(double seconds, int rate = 22050, int bits = 16, int channels = 1) {
  auto sound = std::make_shared<Sound>();
  sound->path = "tone.wav";
  sound->sample_rate = rate;
  sound->bits_per_sample = bits;
  sound->channels = channels;
  const auto frames = static_cast<std::size_t>(seconds * rate);
  const std::size_t frame = static_cast<std::size_t>(channels * (bits / 8));
  sound->samples.resize(frames * frame);
  for (std::size_t i = 0; i < sound->samples.size(); ++i) sound->samples[i] = static_cast<std::uint8_t>((i / 7) % 256);
  return sound;
}

double seconds_taken(SdlAudio& audio, std::shared_ptr<const Sound> sound, bool wait) {
  const auto start = std::chrono::steady_clock::now();
  audio.play(std::move(sound), wait);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Plays on SDL's disk driver, which takes the samples at the device's rate
// and writes them to a file in the test's temporary folder.
class SdlAudioDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    audio = std::make_unique<SdlAudio>();
    if (!audio->has_device()) GTEST_SKIP() << "SDL has no disk audio driver here";
  }
  void TearDown() override {
    audio.reset();
    std::filesystem::remove(output);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }

  std::string output = (std::filesystem::temp_directory_path() /
                        ("talvaro-sdl-audio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                         "-" + std::to_string(getpid()) + ".raw"))
                           .string();
  std::unique_ptr<SdlAudio> audio;
};

TEST_F(SdlAudioDeviceTest, AWaitingClipReturnsWhenItHasPlayed) {
  EXPECT_GE(seconds_taken(*audio, tone(0.3), true), 0.2);
  EXPECT_GT(std::filesystem::file_size(output), 0U);
}

TEST_F(SdlAudioDeviceTest, EveryPcmShapeIsConvertedAndPlayedToItsEnd) {
  struct Shape {
    int rate;
    int bits;
    int channels;
  };
  for (const Shape& shape : {Shape{11025, 8, 1}, Shape{8000, 8, 2}, Shape{22050, 16, 2}, Shape{44100, 16, 1},
                             Shape{48000, 24, 1}, Shape{96000, 32, 2}, Shape{16000, 16, 6}}) {
    EXPECT_GE(seconds_taken(*audio, tone(0.2, shape.rate, shape.bits, shape.channels), true), 0.12)
        << shape.rate << " Hz, " << shape.bits << " bits, " << shape.channels << " channels";
  }
}

TEST_F(SdlAudioDeviceTest, ANewClipStopsTheOneStillSounding) {
  // Without waiting the call returns long before the clip could have played.
  EXPECT_LT(seconds_taken(*audio, tone(20.0), false), 10.0);
  // The next clip is not queued behind the long one.
  EXPECT_LT(seconds_taken(*audio, tone(0.1), true), 10.0);
  audio->play(tone(20.0), false);
  audio->stop();
  EXPECT_LT(seconds_taken(*audio, tone(0.1), true), 10.0);
}

TEST_F(SdlAudioDeviceTest, UnplayableSoundsAreSilentAndReturnAtOnce) {
  auto odd_bits = std::make_shared<Sound>(*tone(1.0));
  odd_bits->bits_per_sample = 12;
  auto slow = std::make_shared<Sound>(*tone(1.0, 22050, 8));
  slow->sample_rate = 10;  // 22050 bytes at 10 Hz would be half an hour
  auto no_channels = std::make_shared<Sound>(*tone(1.0));
  no_channels->channels = 0;
  for (const auto& sound : {odd_bits, slow, no_channels}) {
    EXPECT_LT(seconds_taken(*audio, sound, true), 10.0);
  }
  EXPECT_LT(seconds_taken(*audio, nullptr, true), 10.0);
  EXPECT_LT(seconds_taken(*audio, tone(0.0), true), 10.0);
}

TEST(SdlAudioWithoutDevice, AWaitingClipStillTakesItsLength) {
  setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1);
  {
    SdlAudio audio;
    EXPECT_FALSE(audio.has_device());
    EXPECT_GE(seconds_taken(audio, tone(0.2), true), 0.19);
    EXPECT_GE(seconds_taken(audio, tone(0.2, 8000, 8, 2), true), 0.19);
    EXPECT_LT(seconds_taken(audio, tone(20.0), false), 10.0);
    audio.stop();
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
}  // namespace talvaro
