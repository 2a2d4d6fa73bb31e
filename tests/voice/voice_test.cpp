#include "voice/voice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;
using testing::tiny_wav;

class Voice : public ::testing::Test {
 protected:
  Voice() {
    bench.prime_state();
    bench.make_clips();
  }
  Context& cx() { return *bench.cx; }
  std::string spoken() const { return bench.audio.spoken_text(); }
  std::string played_path(std::size_t i = 0) const { return bench.audio.plays.at(i).path; }
  Bench bench;
};

TEST_F(Voice, SpeaksFrequenciesDigitByDigitAndNormalisesThem) {
  struct Case {
    const char* text;
    const char* spoken;
    const char* left;
  };
  const std::vector<Case> cases = {
      {"145.500", "1 4 5 point 5", "145.5"},
      {"145.", "1 4 5 point 0", "145.0"},
      {"145.0", "1 4 5 point 0", "145.0"},
      {"150", "1 5 0", "150"},
      {"0.000", "0 point 0", "0.0"},
      {"", "", ""},
      {"1-2", "1 2", "1-2"},  // a character without a clip is silent
  };
  for (const auto& c : cases) {
    bench.audio.plays.clear();
    bench.st.argument_text = c.text;
    speak_frequency(cx());
    EXPECT_EQ(spoken(), c.spoken) << c.text;
    EXPECT_EQ(bench.st.argument_text.str(), c.left) << c.text;
  }
}

TEST_F(Voice, SearchingLevelsAndCounts) {
  bench.st.search_state = SearchState::searching;
  bench.st.argument_text = "";
  speak_frequency(cx());
  bench.st.argument_text = "88.1";
  speak_frequency(cx());
  EXPECT_EQ(spoken(), "srching srching 8 8 point 1");
  for (const auto& [level, words] : std::vector<std::pair<int, const char*>>{
           {0, "s 0"}, {9, "s 9"}, {10, "s 9 plus"}, {15, "s 9 plus"}, {-3, "s 0"}}) {
    bench.audio.plays.clear();
    bench.st.signal_level = level;
    speak_signal_report(cx());
    EXPECT_EQ(spoken(), words) << level;
  }
  for (const auto& [count, words] :
       std::vector<std::pair<int, const char*>>{{0, "0"}, {10, "1 0"}, {42, "4 2"}, {150, "9 9"}, {-1, "0"}}) {
    bench.audio.plays.clear();
    speak_count(cx(), count);
    EXPECT_EQ(spoken(), words) << count;
  }
}

TEST_F(Voice, SpeaksOnlyTheModesOfTheTableExactly) {
  const std::vector<std::pair<const char*, const char*>> modes = {
      {"WFM", "wfm"},        {"FM", "fm"},  {"AM", "am"},    {"USB", "usb"},
      {"LSB", "lsb"},        {"CW ", "cw"}, {"AUT", "auto"}, {"ATT ON", "atton"},
      {"ATT OFF", "attoff"}, {"CW", ""},  // without its trailing space
      {"wfm", ""},           {"AUTO", ""},  {"", ""}};
  for (const auto& [mode, clip] : modes) {
    bench.audio.plays.clear();
    bench.st.mode_text = mode;
    bench.st.argument_text = "145.5";
    speak_mode(cx());
    EXPECT_EQ(spoken(), clip) << '"' << mode << '"';
    EXPECT_EQ(bench.st.argument_text.str(), mode);
  }
}

TEST_F(Voice, VoiceOffSilencesSpeechButKeepsThePause) {
  play_clip(cx(), "wave\\", clip::help, false);  // the waiting mode is passed on
  EXPECT_FALSE(bench.audio.plays.at(0).wait);
  bench.audio.plays.clear();
  bench.st.wave_path = "";
  say(cx(), clip::point);
  bench.st.argument_text = "145.5";
  speak_frequency(cx());
  EXPECT_TRUE(bench.audio.plays.empty());
  short_pause(cx());
  ASSERT_EQ(bench.audio.plays.size(), 1U);
  EXPECT_EQ(bench.audio.plays[0].clip, "shdel");
  EXPECT_TRUE(bench.audio.plays[0].wait);
}

TEST_F(Voice, FindsFilesWithoutRegardToCaseBesideTheProgramToo) {
  std::filesystem::remove(bench.dir / "wave/wfm.wav");
  bench.write_file("wave/WFM.WAV", tiny_wav());
  bench.write_file("Other/Beep.Wav", tiny_wav());
  bench.write_file("wave/usb.wav.wav", tiny_wav());
  std::filesystem::remove(bench.dir / "wave/usb.wav");
  std::filesystem::remove(bench.dir / "wave/bnf.wav");
  bench.platform.program_dir = (bench.dir / "program").string();
  bench.write_file("program/wave/bnf.wav", tiny_wav());
  bench.write_file("program/wave/ok.wav", tiny_wav());
  say(cx(), clip::named("Wfm"));
  play_clip(cx(), "other\\", clip::beep);
  say(cx(), clip::usb);  // only usb.wav.wav exists: silent
  say(cx(), clip::bnf);
  say(cx(), clip::ok);
  ASSERT_EQ(bench.audio.plays.size(), 4U);
  EXPECT_EQ(played_path(0), "wave/WFM.WAV");
  EXPECT_EQ(played_path(1), "Other/Beep.Wav");
  EXPECT_EQ(played_path(2), (bench.dir / "program/wave/bnf.wav").string());
  EXPECT_EQ(played_path(3), "wave/ok.wav");  // the working folder wins
}

TEST_F(Voice, MissingBrokenAndUnnamedClipsOnlyStopWhatPlays) {
  bench.write_file("wave/inv.wav", "this is not a wav file at all");
  bench.write_file("wave/ok.wav", "");
  bench.write_file("wave/quit.wav", tiny_wav(0).substr(0, 30));
  std::filesystem::remove(bench.dir / "wave/sort.wav");
  std::filesystem::remove(bench.dir / "wave/put.wav");
  std::filesystem::create_directories(bench.dir / "wave/put.wav");
  for (const auto name : {clip::named("nothing"), std::optional(clip::inv), std::optional(clip::ok),
                          std::optional(clip::quit), std::optional(clip::sort), std::optional(clip::put)}) {
    const int stops = bench.audio.stops;
    say(cx(), name);
    EXPECT_TRUE(bench.audio.plays.empty()) << (name ? name->text() : "none");
    EXPECT_EQ(bench.audio.stops, stops + 1);
  }
}

TEST_F(Voice, ATruncatedClipLastsOnlyAsLongAsItsBytes) {
  bench.write_file("wave/wait.wav", tiny_wav(8000, 8000).substr(0, 44 + 200));  // 100 of 8000 samples
  say(cx(), clip::wait);
  const auto& sound = cx().clips.sounds.at("wave\\wait");
  ASSERT_TRUE(sound);
  EXPECT_DOUBLE_EQ(sound->seconds(), 100.0 / 8000);
}

TEST_F(Voice, LookupsAreRememberedForTheRun) {
  say(cx(), clip::point);
  std::filesystem::remove(bench.dir / "wave/point.wav");
  std::filesystem::remove(bench.dir / "wave/sel.wav");
  say(cx(), clip::sel);
  bench.write_file("wave/sel.wav", tiny_wav());
  say(cx(), clip::point);
  say(cx(), clip::sel);
  EXPECT_EQ(spoken(), "point point");
}

}  // namespace
}  // namespace talvaro
