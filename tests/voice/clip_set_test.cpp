// The generated clip set in the build's wave/ folder: exactly the clips the
// code can name, each a playable clip, and the pause a short one.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "voice/clip_names.h"
#include "voice/wav.h"

namespace talvaro {
namespace {

namespace fs = std::filesystem;

TEST(ClipSet, EveryNamedClipIsMadeAndPlayableAndNothingElse) {
  std::set<std::string> made;
  for (const auto& entry : fs::directory_iterator(TALVARO_CLIP_FOLDER)) {
    if (entry.path().extension() == ".wav") made.insert(entry.path().filename().string());
  }
  std::set<std::string> wanted;
  for (const ClipName name : ClipTable::all) wanted.insert(std::string(name.text()) + ".wav");
  EXPECT_EQ(made, wanted);

  for (const ClipName name : ClipTable::all) {
    std::ifstream in(fs::path(TALVARO_CLIP_FOLDER) / (std::string(name.text()) + ".wav"), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto sound = parse_wav(bytes);
    ASSERT_TRUE(sound) << name.text();
    EXPECT_EQ(sound->sample_rate, 22050) << name.text();
    EXPECT_GE(sound->seconds(), 0.1) << name.text();
    // The pause paces the receiver: long enough for an answer, short enough
    // for long transfers.
    if (name == clip::shdel) {
      EXPECT_LE(sound->seconds(), 0.25);
    }
  }
}

}  // namespace
}  // namespace talvaro
