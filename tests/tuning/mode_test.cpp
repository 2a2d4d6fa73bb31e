#include "tuning/mode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using Journal = std::vector<std::string>;

// A serial line whose commands go into the journal.
class JournalDevice final : public SerialDevice {
 public:
  explicit JournalDevice(Journal& journal) : journal_(journal) {}
  bool set_line_format(int, int, int) override { return true; }
  void set_read_timeouts(int) override {}
  int bytes_waiting() override { return 0; }
  int read(char*, int) override { return 0; }
  int write(const char* bytes, int count) override {
    for (const char c : std::string(bytes, static_cast<std::size_t>(count))) {
      if (c != '\r') {
        pending_.push_back(c);
        continue;
      }
      journal_.push_back("send " + pending_);
      pending_.clear();
    }
    return count;
  }

 private:
  Journal& journal_;
  std::string pending_;
};

// Display, audio and port services that write draws, clips (pauses left out)
// and commands into one journal, so that the order between them shows.
class JournalServices final : public Display, public Audio, public SerialPorts {
 public:
  bool open_window(const WindowSpec&) override { return true; }
  void close_window() override {}
  int draw_text(int x, int y, std::string_view text, const FontSpec&, int) override {
    journal.push_back("draw " + std::to_string(x) + "," + std::to_string(y) + " " + std::string(text));
    return static_cast<int>(text.size()) * 10;
  }
  void play(std::shared_ptr<const Sound> sound, bool) override {
    const std::string name = std::filesystem::path(sound->path).stem().string();
    if (name != "shdel") journal.push_back("clip " + name);
  }
  void stop() override {}
  std::unique_ptr<SerialDevice> open(int, int) override { return std::make_unique<JournalDevice>(journal); }

  Journal journal;
};

// A core on the journal services; the bench gives it a folder with every clip.
struct Journaled {
  Journaled() {
    bench.make_clips();
    cx->st.wave_path = cx->st.pause_wave_path = "wave\\";
    cx->st.com_port = 1;
    open_port(*cx, 1, 9600);
  }
  testing::Bench bench;
  JournalServices services;
  Journal& journal = services.journal;
  Platform platform{services, services, services, bench.clock, bench.events, ""};
  std::unique_ptr<Context> cx = std::make_unique<Context>(platform);
};

const std::string blanks(6, ' ');

TEST(ModeTable, SevenRowsInFunctionKeyOrder) {
  const auto table = mode_table();
  ASSERT_EQ(table.size(), 7u);
  const std::vector<std::string> rows = {"FM MD1", "AM MD2", "LSB MD4", "USB MD3", "WFM MD0", "CW  MD5", "AUT AU1"};
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].key, 112 + static_cast<int>(i));
    EXPECT_EQ(std::string(table[i].mode_text) + " " + std::string(table[i].command), rows[i]);
  }
  EXPECT_EQ(mode_row_for_text("CW ")->member, ModeMember::cw);
  EXPECT_FALSE(mode_row_for_text("CW").has_value());
  EXPECT_FALSE(mode_row_for_text("fm").has_value());
}

TEST(FunctionKeys, ClipThenCommandThenTheModeLine) {
  Journaled j;
  set_font(*j.cx, "Ariel", 70, 700);
  select_mode(*j.cx, ModeMember::fm);
  draw_mode_line(*j.cx);
  // CW keeps its blank and selects Aerial 30; automatic plays "auto".
  set_font(*j.cx, "Ariel", 70, 700);
  select_mode(*j.cx, ModeMember::cw);
  EXPECT_EQ(j.cx->st.mode_text, "CW ");
  EXPECT_EQ(j.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
  draw_mode_line(*j.cx);
  select_mode(*j.cx, ModeMember::automatic);
  EXPECT_EQ(j.cx->st.mode_text, "AUT");
  EXPECT_EQ(j.journal, (Journal{"clip fm", "send MD1", "draw 380,80 FM" + blanks, "clip cw", "send MD5",
                                "draw 380,80 CW " + blanks, "clip auto", "send AU1"}));
  // Other modes leave the font alone.
  set_font(*j.cx, "Ariel", 70, 700);
  select_mode(*j.cx, ModeMember::usb);
  EXPECT_EQ(j.cx->text_state.font, (FontSpec{"Ariel", 70, 700}));
}

TEST(ApplyMode, DrawsFirstThenPlaysAndSends) {
  const std::vector<std::pair<std::string, Journal>> cases = {
      {"WFM", {"draw 380,80 WFM" + blanks, "clip wfm", "send MD0"}},
      {"AUT", {"draw 380,80 AUT" + blanks, "clip auto", "send AU1"}},
      {"CW ", {"draw 380,80 CW " + blanks, "clip cw", "send MD5"}},
      // Not one of the seven: shown, neither spoken nor sent.
      {"CW", {"draw 380,80 CW" + blanks}},
      {"fm", {"draw 380,80 fm" + blanks}},
      {"", {"draw 380,80 " + blanks}},
  };
  for (const auto& [mode, expected] : cases) {
    Journaled j;
    j.cx->st.mode_text = mode;
    apply_mode(*j.cx);
    EXPECT_EQ(j.journal, expected) << "'" << mode << "'";
  }
  // In black Ariel 50, leaving Aerial 30.
  testing::Bench bench;
  bench.prime_state();
  bench.st.mode_text = "AM";
  set_colour(*bench.cx, colour_red);
  apply_mode(*bench.cx);
  ASSERT_EQ(bench.display.draws.size(), 1u);
  EXPECT_EQ(bench.display.draws[0].font, (FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(bench.display.draws[0].colour, colour_black);
  EXPECT_EQ(bench.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
}

TEST(Switches, AttenuatorAndNoiseLimiterSpeakThenSendAndAlternate) {
  Journaled j;
  for (int round = 0; round < 2; ++round) {
    toggle_attenuator(*j.cx);
    toggle_noise_limiter(*j.cx);
    EXPECT_EQ(j.cx->st.attenuator_on + j.cx->st.noise_limiter_on, round == 0 ? 2 : 0);
  }
  EXPECT_EQ(j.journal, (Journal{"clip atton", "send AT1", "clip noise", "clip on", "send NL1", "clip attoff",
                                "send AT0", "clip noise", "clip off", "send NL0"}));
  // With the voice off the commands and draws still go out.
  j.journal.clear();
  j.cx->st.wave_path = "";
  j.cx->st.mode_text = "USB";
  apply_mode(*j.cx);
  toggle_attenuator(*j.cx);
  EXPECT_EQ(j.journal, (Journal{"draw 380,80 USB" + blanks, "send MD3", "send AT1"}));
}

}  // namespace
}  // namespace talvaro
