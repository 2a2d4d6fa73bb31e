// Checks the generated clip set in the build's wave/ folder: every clip of the
// inventory is there, plays, and has a length that fits what it is.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "voice/clip_inventory.h"
#include "voice/clip_table.h"
#include "voice/wav.h"

namespace talvaro {
namespace {

namespace fs = std::filesystem;

std::optional<Sound> read_clip(const std::string& name) {
  std::ifstream in(fs::path(TALVARO_CLIP_FOLDER) / (name + ".wav"), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  return parse_wav(bytes);
}

// Largest absolute sample, as a fraction of full scale (16-bit clips).
double peak(const Sound& sound) {
  int largest = 0;
  for (std::size_t i = 0; i + 1 < sound.samples.size(); i += 2) {
    const auto sample = static_cast<std::int16_t>(sound.samples[i] | (sound.samples[i + 1] << 8));
    largest = std::max(largest, std::abs(static_cast<int>(sample)));
  }
  return largest / 32768.0;
}

TEST(ClipSet, EveryClipIsMadeAndPlayable) {
  std::set<std::string> made;
  for (const auto& entry : fs::directory_iterator(TALVARO_CLIP_FOLDER)) {
    if (entry.path().extension() == ".wav") made.insert(entry.path().stem().string());
  }
  const std::set<std::string> wanted(clip_inventory.begin(), clip_inventory.end());
  EXPECT_EQ(made, wanted);

  for (const auto& row : testing::read_clip_table(TALVARO_CLIP_TABLE)) {
    SCOPED_TRACE(row.name);
    const auto sound = read_clip(row.name);
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->channels, 1);
    EXPECT_EQ(sound->sample_rate, 22050);
    EXPECT_EQ(sound->bits_per_sample, 16);
    const double seconds = sound->seconds();
    const double one_sample = 1.0 / 22050;
    if (row.kind == "silence") {
      EXPECT_NEAR(seconds, std::stoi(row.value) / 1000.0, one_sample);
      EXPECT_EQ(peak(*sound), 0.0);
    } else if (row.kind == "tone") {
      const double milliseconds = std::stoi(row.value.substr(row.value.find(' ') + 1));
      EXPECT_NEAR(seconds, milliseconds / 1000.0, one_sample);
      EXPECT_GT(peak(*sound), 0.05);  // a beep, quieter than the speech
    } else {
      EXPECT_EQ(row.kind, "say");
      EXPECT_GE(seconds, 0.1);
      EXPECT_LE(seconds, row.name == "help" ? 30.0 : 4.0);
      EXPECT_GT(peak(*sound), 0.2);  // speech at its loudness, not silence
    }
  }
}

TEST(ClipSet, ThePauseIsAShortSilence) {
  // The pause paces the receiver: long enough for an answer, short enough for
  // long transfers.
  const auto pause = read_clip("shdel");
  ASSERT_TRUE(pause);
  EXPECT_GE(pause->seconds(), 0.1);
  EXPECT_LE(pause->seconds(), 0.25);
}

}  // namespace
}  // namespace talvaro
