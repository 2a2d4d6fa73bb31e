#include "core/start/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "commands/keys.h"
#include "core/config.h"
#include "panel/poll/events.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

TEST(Configuration, FieldsComeFromFixedCharacterPositions) {
  struct Case {
    std::string file, port, baud;
    int voice, debug;
  };
  for (const Case& c : {
           // Any non-zero voice turns the voice on; only exactly 1 turns the log on.
           Case{"PRT=COM7\r\nBAUDR=19200\r\nMODEL=AR8600\r\nVOICE=2\r\nDEBUG=2\r\nextra\r\n", "COM7", "19200", 2, 2},
           Case{"xxxxCOM1\nxxxxxx9600\nxxxxx\n", "COM1", "9600", 0, 0},
           Case{std::string("\0\xff\x01\x02\r\n\x80\x81", 8) + std::string(5000, '\x9b') + "\n\n\n\n", "", "", 0, 0},
       }) {
    Bench bench;
    bench.write_file("TALVARO.CFG", c.file);
    ASSERT_TRUE(read_configuration(*bench.cx));
    EXPECT_EQ(bench.st.config_port_text, c.port.empty() ? bench.st.config_port_text.str() : c.port);
    EXPECT_LE(bench.st.config_port_text.size(), Text::capacity);
    EXPECT_EQ(bench.st.config_baud_text, c.baud.empty() ? bench.st.config_baud_text.str() : c.baud);
    EXPECT_EQ(std::tuple(bench.st.voice_enabled, bench.st.debug_enabled), std::tuple(c.voice, c.debug));
  }
  EXPECT_EQ(date_text({2026, 3, 4, 5, 6, 7}), "04-03-2026");
  EXPECT_EQ(time_text({2026, 3, 4, 5, 6, 7}), "05:06:07");
}

TEST(Startup, WithoutARegularConfigurationItShowsTwoLinesSaysCfnfAndLeavesBank00Alone) {
  const std::string old_bank = "*** Talvaro V 4.1b ***  01-01-2026  10:00:00\r\nAM\r\n99.5\r\n1\r\n2\r\n5\r\n9999\r\n";
  // Missing, a folder, and a pipe holding five good lines (its writer kept
  // open, so an open that waited would read them rather than hang here).
  for (const int kind : {0, 1, 2}) {
    Bench bench;
    bench.make_clips();
    if (kind == 0) bench.write_file("bank00.dat", old_bank);
    if (kind == 1) std::filesystem::create_directory(bench.dir / "TALVARO.CFG");
    int writer = -1;
    if (kind == 2) {
      ASSERT_EQ(mkfifo("TALVARO.CFG", 0600), 0);
      writer = open("TALVARO.CFG", O_RDWR | O_NONBLOCK);
      const std::string lines = "PRT=COM1\r\nBAUDR=9600\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=0\r\n";
      ASSERT_EQ(write(writer, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    }
    EXPECT_EQ(run_talvaro(bench.platform), 0);
    EXPECT_EQ(std::tuple(bench.exists("bank00.dat"), bench.read_file("bank00.dat")),
              std::tuple(kind == 0, kind == 0 ? old_bank : ""));
    EXPECT_EQ(bench.display.text_at(0, 30) + "|" + bench.display.text_at(0, 60) + "|" + bench.audio.spoken_text(),
              "--- TALVARO.CFG file not found ---|please run the 'TALVSET' program|cfnf");
    EXPECT_EQ(std::tuple(bench.display.closed, bench.serial.open_count, bench.display.window.caption),
              std::tuple(true, 0, "*** AR8600 Talvaro Front Panel v4.1b***"));
    if (writer >= 0) close(writer);
  }
}

TEST(Startup, TheLogIsWrittenOnlyIntoARegularFileAndNeverThroughALink) {
  for (const bool pipe : {false, true}) {
    Bench bench;
    bench.make_clips();
    bench.write_config(1, 9600, 0, 1);
    int reader = -1;
    if (pipe) {
      ASSERT_EQ(mkfifo("debug1.dat", 0600), 0);
      reader = open("debug1.dat", O_RDONLY | O_NONBLOCK);  // so an open for writing would not wait
    } else {
      bench.write_file("elsewhere.txt", "kept\r\n");
      std::filesystem::create_symlink("elsewhere.txt", bench.dir / "debug1.dat");
    }
    EXPECT_EQ(run_talvaro(bench.platform), 0);
    if (pipe) {
      char byte = 0;
      EXPECT_LE(read(reader, &byte, 1), 0) << "nothing was written into the pipe";
      close(reader);
    } else {
      EXPECT_EQ(bench.read_file("elsewhere.txt"), "kept\r\n");
      EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(bench.dir / "debug1.dat")));
    }
  }
}

// The whole program on the fakes: keys typed as events between timer ticks,
// then the window's close request.
TEST(Startup, ARunGreetsHandlesEachEventOnceAndWritesTheStateRecordAtClose) {
  Bench bench;
  bench.make_clips();
  bench.write_config(1, 9600, 1, 1);
  bench.write_file("debug1.dat", "an old log that must go\r\n");
  bench.serial.line->script = [](const std::string& command) {
    return command == "LM" ? testing::Answers{{"LM%000\r\n", 0}} : testing::Answers{};
  };
  for (int i = 0; i < 6; ++i) bench.events.script.push_back({event_timer, 0});
  for (const int key : {int{'1'}, int{'4'}, int{'6'}, key::enter, int{'H'}}) {
    bench.events.script.push_back({event_key_down, key});
    bench.events.script.push_back({event_key_up, 0});
    for (int i = 0; i < 4; ++i) bench.events.script.push_back({event_timer, 0});
  }
  EXPECT_EQ(run_talvaro(bench.platform), 0);

  const std::string log = bench.read_file("debug1.dat");
  EXPECT_TRUE(log.starts_with("TALVARO 4.1b  06-12-2026   09:05:07\r\n")) << log;
  EXPECT_EQ(log.find("an old log"), std::string::npos);
  EXPECT_EQ(log.find("TX= EX"), std::string::npos) << "the log is closed before EX";
  EXPECT_TRUE(bench.display.text_at(270, 0).starts_with("*** Talvaro V 4.1b ***"));
  const auto spoken = bench.audio.spoken(true);
  ASSERT_GE(spoken.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(spoken.begin(), spoken.begin() + 5),
            (std::vector<std::string>{"talvaro", "4", "point", "1", "shdel"}));
  EXPECT_TRUE(bench.audio.spoken_text().ends_with("connected 1 4 6 ok help"));
  EXPECT_EQ(std::tuple(bench.events.timer_period, bench.events.timer_stopped), std::tuple(100, true));
  EXPECT_TRUE(bench.serial.line->written.ends_with("VA0146000000\rST012.50\rLM\rEX\r"));
  EXPECT_EQ(bench.read_file("bank00.dat"),
            "*** Talvaro V 4.1b ***  06-12-2026  09:05:07\r\nFM\r\n146.0\r\n145\r\n146\r\n12.5\r\n9999\r\n");
}

TEST(Startup, VoiceOffSilencesSpeechButKeepsThePause) {
  Bench bench;
  bench.make_clips();
  bench.write_config(1, 9600, 0, 0);
  EXPECT_EQ(run_talvaro(bench.platform), 0);
  const auto spoken = bench.audio.spoken(true);
  EXPECT_FALSE(spoken.empty());
  EXPECT_TRUE(std::all_of(spoken.begin(), spoken.end(), [](const auto& clip) { return clip == "shdel"; }));
  EXPECT_FALSE(bench.exists("debug1.dat"));
}

}  // namespace
}  // namespace talvaro
