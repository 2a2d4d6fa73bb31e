#include "voice/voice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/context.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::tiny_wav;

struct Voice : ::testing::Test {
  Voice() {
    bench.prime_state();
    bench.make_clips();
  }
  testing::Bench bench;
  State& st = bench.st;
  Context& cx = *bench.cx;
};

// Each row: the state, the call, what is spoken and what argument_text holds
// after (frequencies normalised, modes kept; a character without a clip is
// silent; only the table's modes exactly, "CW" needs its blank).
TEST_F(Voice, SpeaksFrequenciesLevelsCountsAndModes) {
  const auto frequency = [&] { speak_frequency(cx); };
  const auto mode = [&] { speak_mode(cx); };
  const auto level = [&](int value) { return [&, value] { st.signal_level = value, speak_signal_report(cx); }; };
  const auto count = [&](int value) { return [&, value] { speak_count(cx, value); }; };
  const std::vector<std::tuple<std::string, std::string, std::function<void()>, std::string, std::string>> rows = {
      {"145.500", "", frequency, "1 4 5 point 5", "145.5"},
      {"145.", "", frequency, "1 4 5 point 0", "145.0"},
      {"1-2", "", frequency, "1 2", "1-2"},
      {"88.1", "",
       [&] {
         st.search_state = SearchState::searching;
         speak_frequency(cx);
         st.search_state = SearchState::off;
       },
       "srching 8 8 point 1", "88.1"},
      {"", "", level(9), "s 9", ""},
      {"", "", level(10), "s 9 plus", ""},
      {"", "", level(-3), "s 0", ""},
      {"", "", count(150), "9 9", ""},
      {"", "", count(-1), "0", ""},
      {"145.5", "CW ", mode, "cw", "CW "},
      {"145.5", "CW", mode, "", "CW"},
  };
  for (const auto& [argument, mode_text, call, spoken, left] : rows) {
    bench.audio.plays.clear();
    st.argument_text = argument;
    st.mode_text = mode_text;
    call();
    EXPECT_EQ(std::tuple(bench.audio.spoken_text(), st.argument_text.str()), std::tuple(spoken, left))
        << argument << " " << mode_text << " " << spoken;
  }
}

TEST_F(Voice, VoiceOffSilencesSpeechButKeepsThePause) {
  play_clip(cx, "wave\\", clip::help, false);  // the waiting mode is passed on
  st.wave_path = "";
  say(cx, clip::point);
  st.argument_text = "145.5";
  speak_frequency(cx);
  short_pause(cx);
  EXPECT_EQ(std::tuple(bench.audio.spoken_text(true), bench.audio.plays.at(0).wait, bench.audio.plays.at(1).wait),
            std::tuple("help shdel", false, true));
}

// Names are matched without regard to case, in the working folder first,
// then beside the program, then in the installed share folder beside the
// program's folder; a lookup is remembered for the run; a missing,
// broken or unnamed clip only stops what plays.
TEST_F(Voice, FindsClipsRemembersThemAndSkipsBrokenOnes) {
  namespace fs = std::filesystem;
  fs::remove(bench.dir / "wave/wfm.wav");
  bench.write_file("wave/WFM.WAV", tiny_wav());
  fs::remove(bench.dir / "wave/usb.wav");
  fs::remove(bench.dir / "wave/bnf.wav");
  bench.platform.program_dir = (bench.dir / "program").string();
  bench.write_file("program/wave/bnf.wav", tiny_wav());
  bench.write_file("program/wave/ok.wav", tiny_wav());
  fs::remove(bench.dir / "wave/fm.wav");
  bench.write_file("share/talvaro/wave/fm.wav", tiny_wav());
  bench.write_file("share/talvaro/wave/bnf.wav", tiny_wav());
  say(cx, clip::named("Wfm"));
  say(cx, clip::usb);  // none: silent
  say(cx, clip::bnf);
  say(cx, clip::ok);
  say(cx, clip::named("FM"));
  std::vector<std::string> paths;
  for (const auto& play : bench.audio.plays) paths.push_back(fs::path(play.path).lexically_normal().string());
  EXPECT_EQ(paths, (std::vector<std::string>{"wave/WFM.WAV", (bench.dir / "program/wave/bnf.wav").string(),
                                             "wave/ok.wav", (bench.dir / "share/talvaro/wave/fm.wav").string()}));

  fs::remove(bench.dir / "wave/ok.wav");
  bench.write_file("wave/usb.wav", tiny_wav());
  say(cx, clip::usb);
  say(cx, clip::ok);
  EXPECT_EQ(bench.audio.plays.size(), 5U) << "remembered: ok.wav found, usb.wav not";

  bench.audio.plays.clear();
  bench.write_file("wave/inv.wav", "this is not a wav file at all");
  fs::remove(bench.dir / "wave/put.wav");
  fs::create_directories(bench.dir / "wave/put.wav");
  for (const auto name : {clip::named("nothing"), std::optional(clip::inv), std::optional(clip::put)}) {
    const int stops = bench.audio.stops;
    say(cx, name);
    EXPECT_EQ(std::tuple(bench.audio.plays.size(), bench.audio.stops), std::tuple(std::size_t{0}, stops + 1));
  }
}

}  // namespace
}  // namespace talvaro
