// The generated clip set in the build's wave/ folder: exactly the clips the
// code can name, each playable at 22050 Hz, the pause short.

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

TEST(ClipSet, EveryNamedClipIsMadeAndPlayableAndNothingElse) {
  std::set<std::string> made, wanted;
  for (const auto& entry : std::filesystem::directory_iterator(TALVARO_CLIP_FOLDER)) {
    if (entry.path().extension() == ".wav") made.insert(entry.path().stem().string());
  }
  for (const ClipName name : ClipTable::all) {
    wanted.insert(std::string(name.text()));
    std::ifstream in(std::string(TALVARO_CLIP_FOLDER) + "/" + std::string(name.text()) + ".wav", std::ios::binary);
    const auto sound = parse_wav(std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in), {}});
    ASSERT_TRUE(sound) << name.text();
    EXPECT_EQ(sound->sample_rate, 22050) << name.text();
    // The pause paces the receiver: long enough for an answer, short enough for long transfers.
    EXPECT_TRUE(sound->seconds() >= 0.1 && (name != clip::shdel || sound->seconds() <= 0.25)) << name.text();
  }
  EXPECT_EQ(made, wanted);
}

}  // namespace
}  // namespace talvaro
