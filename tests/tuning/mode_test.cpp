#include "tuning/mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;
using Journal = std::vector<std::string>;

// Services that write clips, commands and draws into one journal, so that
// the order between the three can be checked.
class JournalDisplay final : public Display {
 public:
  explicit JournalDisplay(Journal& journal) : journal_(journal) {}
  bool open_window(const WindowSpec&) override { return true; }
  void close_window() override {}
  int draw_text(int x, int y, std::string_view text, const FontSpec&, int) override {
    journal_.push_back("draw " + std::to_string(x) + "," + std::to_string(y) + " " + std::string(text));
    return static_cast<int>(text.size()) * 10;
  }

 private:
  Journal& journal_;
};

class JournalAudio final : public Audio {
 public:
  explicit JournalAudio(Journal& journal) : journal_(journal) {}
  void play(std::shared_ptr<const Sound> sound, bool) override {
    std::string name = std::filesystem::path(sound->path).stem().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name != "shdel") journal_.push_back("clip " + name);
  }
  void stop() override {}

 private:
  Journal& journal_;
};

class JournalDevice final : public SerialDevice {
 public:
  explicit JournalDevice(Journal& journal) : journal_(journal) {}
  bool set_line_format(int, int, int) override { return true; }
  void set_read_timeouts(int) override {}
  int bytes_waiting() override { return 0; }
  int read(char*, int) override { return 0; }
  int write(const char* bytes, int count) override {
    for (int i = 0; i < count; ++i) {
      if (bytes[i] == '\r') {
        journal_.push_back("send " + pending_);
        pending_.clear();
      } else {
        pending_.push_back(bytes[i]);
      }
    }
    return count;
  }

 private:
  Journal& journal_;
  std::string pending_;
};

class JournalPorts final : public SerialPorts {
 public:
  explicit JournalPorts(Journal& journal) : journal_(journal) {}
  std::unique_ptr<SerialDevice> open(int, int) override { return std::make_unique<JournalDevice>(journal_); }

 private:
  Journal& journal_;
};

// A core whose clips, commands and draws go to one journal; the bench gives it
// a working folder with every clip.
struct Journaled {
  Journaled() {
    bench.make_clips();
    cx->st.wave_path = "wave\\";
    cx->st.pause_wave_path = "wave\\";
    cx->st.com_port = 1;
    open_port(*cx, 1, 9600);
  }
  Bench bench;
  Journal journal;
  JournalDisplay display{journal};
  JournalAudio audio{journal};
  JournalPorts ports{journal};
  Platform platform{display, audio, ports, bench.clock, bench.events, ""};
  std::unique_ptr<Context> cx = std::make_unique<Context>(platform);
};

const std::string mode_line_blanks(6, ' ');

TEST(ModeTable, SevenRowsInFunctionKeyOrder) {
  const auto table = mode_table();
  ASSERT_EQ(table.size(), 7u);
  const std::vector<std::string> texts = {"FM", "AM", "LSB", "USB", "WFM", "CW ", "AUT"};
  const std::vector<std::string> commands = {"MD1", "MD2", "MD4", "MD3", "MD0", "MD5", "AU1"};
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].key, 112 + static_cast<int>(i));
    EXPECT_EQ(table[i].mode_text, texts[i]);
    EXPECT_EQ(table[i].command, commands[i]);
  }
  EXPECT_EQ(mode_row_for_text("CW ")->member, ModeMember::cw);
  EXPECT_FALSE(mode_row_for_text("CW").has_value());
  EXPECT_FALSE(mode_row_for_text("fm").has_value());
}

TEST(FunctionKeys, ClipThenCommandThenTheModeLine) {
  Journaled j;
  select_mode(*j.cx, ModeMember::fm);
  draw_mode_line(*j.cx);
  EXPECT_EQ(j.journal, (Journal{"clip fm", "send MD1", "draw 380,80 FM" + mode_line_blanks}));
  EXPECT_EQ(j.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
}

TEST(FunctionKeys, CwKeepsItsBlankAndSelectsAerialAutomaticPlaysAuto) {
  Journaled j;
  set_font(*j.cx, "Ariel", 70, 700);
  select_mode(*j.cx, ModeMember::cw);
  EXPECT_EQ(j.cx->st.mode_text, "CW ");
  EXPECT_EQ(j.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
  draw_mode_line(*j.cx);
  select_mode(*j.cx, ModeMember::automatic);
  EXPECT_EQ(j.cx->st.mode_text, "AUT");
  EXPECT_EQ(j.journal, (Journal{"clip cw", "send MD5", "draw 380,80 CW " + mode_line_blanks, "clip auto", "send AU1"}));
  // Other modes leave the font alone.
  set_font(*j.cx, "Ariel", 70, 700);
  select_mode(*j.cx, ModeMember::usb);
  EXPECT_EQ(j.cx->text_state.font, (FontSpec{"Ariel", 70, 700}));
}

TEST(ApplyMode, DrawsFirstThenPlaysAndSends) {
  const std::vector<std::pair<std::string, Journal>> cases = {
      {"WFM", {"draw 380,80 WFM" + mode_line_blanks, "clip wfm", "send MD0"}},
      {"LSB", {"draw 380,80 LSB" + mode_line_blanks, "clip lsb", "send MD4"}},
      {"AUT", {"draw 380,80 AUT" + mode_line_blanks, "clip auto", "send AU1"}},
      {"CW ", {"draw 380,80 CW " + mode_line_blanks, "clip cw", "send MD5"}},
      // Not one of the seven: shown, neither spoken nor sent.
      {"CW", {"draw 380,80 CW" + mode_line_blanks}},
      {"fm", {"draw 380,80 fm" + mode_line_blanks}},
      // Empty: only the blanks clear the line.
      {"", {"draw 380,80 " + mode_line_blanks}},
  };
  for (const auto& [mode, expected] : cases) {
    Journaled j;
    j.cx->st.mode_text = mode;
    apply_mode(*j.cx);
    EXPECT_EQ(j.journal, expected) << "'" << mode << "'";
    EXPECT_EQ(j.cx->st.mode_text, mode);
  }
}

TEST(ApplyMode, DrawsInBlackAriel50AtTheModeLine) {
  Bench bench;
  bench.prime_state();
  bench.st.mode_text = "AM";
  set_colour(*bench.cx, colour_red);
  apply_mode(*bench.cx);
  ASSERT_EQ(bench.display.draws.size(), 1u);
  EXPECT_EQ(bench.display.draws[0].font, (FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(bench.display.draws[0].colour, colour_black);
  EXPECT_EQ(bench.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
}

TEST(Switches, AttenuatorPlaysThenSendsAndAlternates) {
  Journaled j;
  j.cx->st.attenuator_on = 0;
  toggle_attenuator(*j.cx);
  EXPECT_EQ(j.cx->st.attenuator_on, 1);
  toggle_attenuator(*j.cx);
  EXPECT_EQ(j.cx->st.attenuator_on, 0);
  EXPECT_EQ(j.journal, (Journal{"clip atton", "send AT1", "clip attoff", "send AT0"}));
}

TEST(Switches, NoiseLimiterSaysNoiseThenOnOrOffThenSends) {
  Journaled j;
  j.cx->st.noise_limiter_on = 0;
  toggle_noise_limiter(*j.cx);
  EXPECT_EQ(j.cx->st.noise_limiter_on, 1);
  toggle_noise_limiter(*j.cx);
  EXPECT_EQ(j.cx->st.noise_limiter_on, 0);
  EXPECT_EQ(j.journal, (Journal{"clip noise", "clip on", "send NL1", "clip noise", "clip off", "send NL0"}));
}

TEST(Switches, VoiceOffStillSendsAndDraws) {
  Journaled j;
  j.cx->st.wave_path = "";
  j.cx->st.mode_text = "USB";
  apply_mode(*j.cx);
  toggle_attenuator(*j.cx);
  toggle_noise_limiter(*j.cx);
  EXPECT_EQ(j.journal, (Journal{"draw 380,80 USB" + mode_line_blanks, "send MD3", "send AT1", "send NL1"}));
}

}  // namespace
}  // namespace talvaro
