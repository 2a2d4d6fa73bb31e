#include "voice/voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/context.h"
#include "support/fakes.h"
#include "voice/clip_inventory.h"
#include "voice/clip_table.h"

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
  play_clip(cx(), "wave\\", "help", false);  // the waiting mode is passed on
  EXPECT_FALSE(bench.audio.plays.at(0).wait);
  bench.audio.plays.clear();
  bench.st.wave_path = "";
  say(cx(), "point");
  bench.st.argument_text = "145.5";
  speak_frequency(cx());
  EXPECT_TRUE(bench.audio.plays.empty());
  short_pause(cx());
  ASSERT_EQ(bench.audio.plays.size(), 1U);
  EXPECT_EQ(bench.audio.plays[0].clip, "shdel");
  EXPECT_TRUE(bench.audio.plays[0].wait);
  // An empty folder and name only stop what is playing.
  const int stops = bench.audio.stops;
  play_clip(cx(), "", "");
  EXPECT_EQ(bench.audio.stops, stops + 1);
  EXPECT_EQ(bench.audio.plays.size(), 1U);
}

TEST_F(Voice, FindsFilesWithoutRegardToCaseAndNeverAddsASecondExtension) {
  say(cx(), "WFM");
  say(cx(), "A");
  say(cx(), "fm.wav");
  EXPECT_EQ(spoken(), "wfm a fm");
  EXPECT_EQ(played_path(0), "wave/wfm.wav");
  EXPECT_EQ(played_path(1), "wave/a.wav");
  EXPECT_EQ(played_path(2), "wave/fm.wav");

  // Upper-case files and folders are found too.
  bench.write_file("wave/ZULU.WAV", tiny_wav());
  bench.write_file("Other/Tone.Wav", tiny_wav());
  bench.write_file("wave/usb.wav.wav", tiny_wav());
  std::filesystem::remove(bench.dir / "wave/usb.wav");
  bench.audio.plays.clear();
  say(cx(), "zulu");
  play_clip(cx(), "other\\", "TONE");
  say(cx(), "usb.wav");  // only usb.wav.wav exists: silent
  ASSERT_EQ(bench.audio.plays.size(), 2U);
  EXPECT_EQ(played_path(0), "wave/ZULU.WAV");
  EXPECT_EQ(played_path(1), "Other/Tone.Wav");
}

TEST_F(Voice, LooksBesideTheProgramAfterTheWorkingFolder) {
  bench.platform.program_dir = (bench.dir / "program").string();
  bench.write_file("program/wave/extra.wav", tiny_wav());
  bench.write_file("program/wave/ok.wav", tiny_wav());
  say(cx(), "extra");
  say(cx(), "ok");
  ASSERT_EQ(bench.audio.plays.size(), 2U);
  EXPECT_EQ(played_path(0), (bench.dir / "program/wave/extra.wav").string());
  EXPECT_EQ(played_path(1), "wave/ok.wav");  // the working folder wins
}

TEST_F(Voice, MissingAndBrokenClipsAreSilent) {
  const std::string header_only = tiny_wav(0);
  bench.write_file("wave/garbage.wav", "this is not a wav file at all");
  bench.write_file("wave/empty.wav", "");
  bench.write_file("wave/cut.wav", header_only.substr(0, 30));
  std::filesystem::create_directories(bench.dir / "wave/folder.wav");
  for (const char* name : {"nothing", "garbage", "empty", "cut", "folder", "folder.wav"}) {
    const int stops = bench.audio.stops;
    say(cx(), name);
    EXPECT_TRUE(bench.audio.plays.empty()) << name;
    EXPECT_EQ(bench.audio.stops, stops + 1) << name;
  }
}

TEST_F(Voice, ATruncatedClipLastsOnlyAsLongAsItsBytes) {
  bench.write_file("wave/short.wav", tiny_wav(8000, 8000).substr(0, 44 + 200));  // 100 of 8000 samples
  say(cx(), "short");
  const auto& sound = cx().clips.sounds.at("wave\\short");
  ASSERT_TRUE(sound);
  EXPECT_DOUBLE_EQ(sound->seconds(), 100.0 / 8000);
}

TEST_F(Voice, OnlyPlainFileNamesArePlayed) {
  bench.write_file("secret.wav", tiny_wav());
  bench.write_file("wave/sub/inner.wav", tiny_wav());
  for (const char* name : {"..\\secret", "../secret", "sub/inner", "sub\\inner", "..", ".", "/tmp/x"}) {
    say(cx(), name);
    EXPECT_TRUE(bench.audio.plays.empty()) << name;
  }
  // A folder prefix with several parts is fine; only the name must be plain.
  play_clip(cx(), "wave\\sub\\", "inner");
  EXPECT_EQ(spoken(), "inner");
}

TEST_F(Voice, LookupsAreRememberedForTheRun) {
  say(cx(), "point");
  std::filesystem::remove(bench.dir / "wave/point.wav");
  say(cx(), "later");
  bench.write_file("wave/later.wav", tiny_wav());
  say(cx(), "point");
  say(cx(), "later");
  EXPECT_EQ(spoken(), "point point");
}

// The clip table of the generator covers the inventory exactly, once each.
TEST(ClipInventory, TheGeneratorTableMakesEveryClip) {
  const auto rows = testing::read_clip_table(TALVARO_VOICE_SOURCE_DIR "/tools/clips/clips.tsv");
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row.name);
  std::vector<std::string> wanted(clip_inventory.begin(), clip_inventory.end());
  std::sort(names.begin(), names.end());
  std::sort(wanted.begin(), wanted.end());
  EXPECT_EQ(names, wanted);
  for (const auto name : clip_inventory) {
    EXPECT_TRUE(
        std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::islower(c) || std::isdigit(c); }))
        << name << ": clip files are named in lower case";
  }
}

// The string literals passed as clip names in say(...) and play_clip(...)
// calls: every argument of say after the context, every argument of play_clip
// after the context and the folder. Comments are skipped.
std::vector<std::string> clip_literals(const std::string& source) {
  std::vector<std::string> found;
  static const std::regex call(R"(\b(say|play_clip)\s*\()");
  for (auto it = std::sregex_iterator(source.begin(), source.end(), call); it != std::sregex_iterator(); ++it) {
    const std::size_t first_clip_argument = (*it)[1] == "say" ? 1 : 2;
    std::size_t argument = 0;
    int depth = 1;
    for (std::size_t i = static_cast<std::size_t>(it->position() + it->length()); i < source.size() && depth > 0; ++i) {
      const char c = source[i];
      if (c == '"') {
        std::string literal;
        for (++i; i < source.size() && source[i] != '"'; ++i) {
          if (source[i] == '\\' && i + 1 < source.size()) ++i;
          literal.push_back(source[i]);
        }
        if (argument >= first_clip_argument && depth == 1) found.push_back(literal);
      } else if (c == '(' || c == '{' || c == '[') {
        ++depth;
      } else if (c == ')' || c == '}' || c == ']') {
        --depth;
      } else if (c == ',' && depth == 1) {
        ++argument;
      }
    }
  }
  return found;
}

std::string without_comments(const std::string& source) {
  static const std::regex line_comment(R"(//[^\n]*)");
  static const std::regex block_comment(R"(/\*[\s\S]*?\*/)");
  return std::regex_replace(std::regex_replace(source, block_comment, " "), line_comment, "");
}

TEST(ClipInventory, FindsClipNamesInCalls) {
  const auto names = clip_literals(R"(say(cx, "ok"); play_clip(cx, "wave\\", "help", false);
      say(cx, on ? "on" : "off"); play_clip(cx, st.wave_path, name); send(cx, "EX");
      say(cx, decimal(level)); say(cx, f("x"));)");
  EXPECT_EQ(names, (std::vector<std::string>{"ok", "help", "on", "off"}));
}

TEST(ClipInventory, EveryClipTheCodePlaysIsInTheInventory) {
  std::set<std::string> inventory(clip_inventory.begin(), clip_inventory.end());
  const std::filesystem::path sources = TALVARO_VOICE_SOURCE_DIR "/src";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(sources)) {
    if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
    ++files;
    std::ifstream in(entry.path());
    std::ostringstream source;
    source << in.rdbuf();
    for (std::string name : clip_literals(without_comments(source.str()))) {
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (name.ends_with(".wav")) name.resize(name.size() - 4);
      EXPECT_TRUE(inventory.contains(name)) << entry.path().string() << " plays \"" << name << "\"";
    }
  }
  EXPECT_GT(files, 10);
}

}  // namespace
}  // namespace talvaro
