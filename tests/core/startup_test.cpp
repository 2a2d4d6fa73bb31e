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
#include "core/start/connection.h"
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
       }) {
    Bench bench;
    bench.write_file("TALVARO.CFG", c.file);
    ASSERT_TRUE(read_configuration(*bench.cx));
    EXPECT_EQ(std::tuple(bench.st.config_port_text.str(), bench.st.config_baud_text.str(), bench.st.voice_enabled,
                         bench.st.debug_enabled),
              std::tuple(c.port, c.baud, c.voice, c.debug));
  }
}

TEST(Startup, WithoutARegularConfigurationItShowsTwoLinesSaysCfnfAndLeavesBank00Alone) {
  const std::string old_bank = "*** Talvaro V 4.1b ***  01-01-2026  10:00:00\r\nAM\r\n99.5\r\n1\r\n2\r\n5\r\n9999\r\n";
  // Missing, and a pipe holding good lines (an open that waited would read them).
  for (const int kind : {0, 2}) {
    Bench bench;
    bench.make_clips();
    if (kind == 0) bench.write_file("bank00.dat", old_bank);
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

// The voice off leaves only the pause; the log goes into no pipe, through no
// link, and with the log off there is none.
TEST(Startup, VoiceOffKeepsOnlyThePauseAndTheLogIsWrittenOnlyIntoARegularFile) {
  for (const int kind : {0, 1, 2}) {  // a link, a pipe, the log off
    Bench bench;
    bench.make_clips();
    bench.write_config(1, 9600, 0, kind == 2 ? 0 : 1);
    int reader = -1;
    if (kind == 0) {
      bench.write_file("elsewhere.txt", "kept\r\n");
      std::filesystem::create_symlink("elsewhere.txt", bench.dir / "debug1.dat");
    } else if (kind == 1) {
      ASSERT_EQ(mkfifo("debug1.dat", 0600), 0);
      reader = open("debug1.dat", O_RDONLY | O_NONBLOCK);  // so an open for writing would not wait
    }
    EXPECT_EQ(run_talvaro(bench.platform), 0);
    const auto spoken = bench.audio.spoken(true);
    EXPECT_EQ(std::count(spoken.begin(), spoken.end(), "shdel"), std::max<long>(1, std::ssize(spoken)));
    if (kind == 1) {
      char byte = 0;
      EXPECT_LE(read(reader, &byte, 1), 0) << "nothing was written into the pipe";
      close(reader);
    }
    EXPECT_EQ(std::tuple(bench.read_file("elsewhere.txt"), bench.exists("debug1.dat")),
              std::tuple(kind == 0 ? "kept\r\n" : "", kind != 2));
    EXPECT_EQ(std::filesystem::is_symlink(std::filesystem::symlink_status(bench.dir / "debug1.dat")), kind == 0);
  }
}

// The whole program on the fakes: keys as events between ticks, then the close.
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

  EXPECT_TRUE(bench.read_file("debug1.dat").starts_with("TALVARO 4.1b  06-12-2026   09:05:07\r\nTX= VA0145000000"));
  EXPECT_TRUE(bench.audio.spoken_text().ends_with("connected 1 4 6 ok help"));
  EXPECT_FALSE(bench.audio.plays.back().wait) << "help does not wait";
  EXPECT_EQ(std::tuple(bench.events.timer_period, bench.events.timer_stopped), std::tuple(100, true));
  EXPECT_EQ(bench.read_file("bank00.dat"),
            "*** Talvaro V 4.1b ***  06-12-2026  09:05:07\r\nFM\r\n146.0\r\n145\r\n146\r\n12.5\r\n9999\r\n");
}

// The bench as start-up leaves it just before connection start.
struct Starting : testing::Bench {
  explicit Starting(const std::string& port_text = "COM1", const std::string& baud_text = "9600") {
    prime_state();
    make_clips();
    st.config_port_text = port_text;
    st.config_baud_text = baud_text;
  }
};

TEST(ConnectionStart, FirstRunWithoutBank00TakesTheDefaults) {
  Starting s;
  // Leftovers of an earlier life of the state must not survive.
  s.st.entry_mode = EntryMode::put;
  s.st.search_state = SearchState::stopped;
  s.st.pass_list_count = 9;
  s.st.attenuator_on = 1;
  s.st.bank_file_name = "bank07.dat";
  s.write_file("bank07.dat", "bank07\r\nAM\r\n5\r\n \r\n9999\r\n");
  // Temporary bank files left by a crash are removed, and only those.
  for (const char* name : {"bank00.dat.tmp", "bank1234.dat.tmp", "bank5.dat.tmp", "note05.dat.tmp", "notes.dat.tmp"})
    s.write_file(name, "half a bank\r\n");
  connection_start(*s.cx);

  EXPECT_EQ(s.audio.spoken_text(true), "bnf 1 4 5 point 0 shdel fm shdel attoff");
  EXPECT_FALSE(s.exists("bank00.dat")) << "a missing bank00.dat is not created";
  EXPECT_FALSE(s.exists("bank00.dat.tmp") || s.exists("bank1234.dat.tmp"));
  EXPECT_TRUE(s.exists("bank5.dat.tmp") && s.exists("note05.dat.tmp") && s.exists("notes.dat.tmp"));

  const auto& d = s.display;
  EXPECT_EQ(d.text_at(80, 250) + "|" + d.text_at(300, 250) + "|" + d.text_at(500, 250) + "|" + d.text_at(750, 250) +
                "|" + d.text_at(300, 150),
            "145          |12.5         |CONT|146        |145.0");
  // The mode is drawn last, in the large font.
  EXPECT_EQ(std::tuple(d.draws.back().text, d.draws.back().x, d.draws.back().font, d.draws.back().colour),
            std::tuple("FM      ", 380, FontSpec{"Ariel", 50, 700}, colour_black));

  // limit_entry_fresh is set again by the frequency display.
  EXPECT_EQ(
      std::tuple(s.st.entry_mode, s.st.connection_state, s.st.limit_entry_fresh, s.st.search_state,
                 s.st.pass_list_count, s.st.status_text.str(), s.st.bank_file_name.str(), s.st.attenuator_on),
      std::tuple(EntryMode::none, ConnectionState::unanswered, 1, SearchState::off, 1, "Connecting", "bank00.dat", 0));
  const auto& line = *s.serial.line;
  EXPECT_EQ(std::tuple(s.serial.opened_port, s.serial.opened_baud, line.data_bits, line.parity, line.stop_bits),
            std::tuple(1, 9600, 8, 0, 2));
}

TEST(ConnectionStart, AStateRecordIsRestoredOnceAndOtherBank00sAreKept) {
  struct Case {
    std::string bank00, sent, spoken, after;
  };
  const std::string defaults = "VA0145000000|MD1|ST012.50|AT0";
  // clang-format off
  const std::vector<Case> cases = {
      // A record comes back once; the file becomes an empty search bank.
      {"*** Talvaro V 4.1b ***  06-12-2026  09:05:07\r\nAM\r\n99.5\r\n118\r\n137\r\n5\r\n9999\r\n",
       "VA0099.50000|MD2|ST005000|AT0", "9 9 point 5 am attoff", "Srchbank\r\nAM\r\n9999\r\n"},
      // Short records restore empty fields; "CW" without its blank is no mode.
      {"*** Talvaro\r\nCW \r\n", "VA0000000000|MD5|ST000000|AT0", "point 0 cw attoff", "Srchbank\r\nCW \r\n9999\r\n"},
      {"***\r\nCW\r\n7.05\r\n7\r\n8\r\n0.5\r\n9999\r\n", "VA0007.05000|ST000.50|AT0", "7 point 0 5 attoff",
       "Srchbank\r\nCW\r\n9999\r\n"},
      // A search bank, another bank, or a record with a control byte give the defaults and stay.
      {"Srchbank\r\nAM\r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
      {"** not quite\r\nUSB\r\n7.1\r\n1\r\n2\r\n3\r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
      {"*** Talvaro\r\nAM\r\n99.5\r\n1\r\n2\r\n5\x13\x1e\r\n9999\r\n", defaults, "1 4 5 point 0 fm attoff", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    Starting s;
    s.write_file("bank00.dat", c.bank00);
    connection_start(*s.cx);
    EXPECT_EQ(s.sent(), c.sent) << c.bank00;
    EXPECT_EQ(s.audio.spoken_text(), c.spoken) << c.bank00;
    EXPECT_EQ(s.read_file("bank00.dat"), c.after.empty() ? c.bank00 : c.after);
    EXPECT_FALSE(s.exists("bank00.dat.tmp"));
  }
  Starting s;
  s.write_file("bank00.dat", cases[0].bank00);
  connection_start(*s.cx);
  EXPECT_EQ(s.display.text_at(80, 250) + "|" + s.display.text_at(750, 250) + "|" + s.display.text_at(380, 80),
            "118          |137        |AM      ");
}

TEST(ConnectionStart, ThePortIsTheLastCharacterOfThePortText) {
  Starting s("/dev/whatever7", "19200");
  s.serial.available_port = 7;
  connection_start(*s.cx);
  EXPECT_EQ(std::tuple(s.serial.opened_port, s.serial.opened_baud, s.st.com_port), std::tuple(7, 19200, 7));
  // An unusable port or baud opens nothing and still starts.
  for (const auto& [port, baud] : std::vector<std::pair<std::string, std::string>>{
           {"COMX", "9600"}, {"COM0", "9600"}, {"COM1", "99999999999999999999"}, {"COM1", "-5000000000"}}) {
    Starting u(port, baud);
    connection_start(*u.cx);
    EXPECT_EQ(u.serial.opened_port, 0) << port << " " << baud;
    EXPECT_EQ(u.audio.spoken_text(), "bnf 1 4 5 point 0 fm attoff");
  }
}

}  // namespace
}  // namespace talvaro
