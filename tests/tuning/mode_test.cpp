#include "tuning/mode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "link/serial.h"
#include "panel/display.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using Journal = std::vector<std::string>;

// Display and audio services that journal draws and clips (pauses left out)
// between the commands written to the bench's serial line, so that the order
// of the three shows.
class JournalServices final : public Display, public Audio {
 public:
  explicit JournalServices(const testing::FakeSerialPorts& serial) : serial_(serial) {}
  bool open_window(const WindowSpec&) override { return true; }
  void close_window() override {}
  int draw_text(int x, int y, std::string_view text, const FontSpec&, int) override {
    note("draw " + std::to_string(x) + "," + std::to_string(y) + " " + std::string(text));
    return static_cast<int>(text.size()) * 10;
  }
  void play(std::shared_ptr<const Sound> sound, bool) override {
    const std::string name = std::filesystem::path(sound->path).stem().string();
    if (name != "shdel") note("clip " + name);
  }
  void stop() override {}
  Journal take() {
    note("");
    return std::exchange(journal_, {});
  }

 private:
  void note(const std::string& entry) {
    const std::string& written = serial_.line->written;
    for (auto end = written.find('\r', sent_); end != std::string::npos; end = written.find('\r', sent_)) {
      journal_.push_back("send " + written.substr(sent_, end - sent_));
      sent_ = end + 1;
    }
    if (!entry.empty()) journal_.push_back(entry);
  }
  const testing::FakeSerialPorts& serial_;
  std::size_t sent_ = 0;
  Journal journal_;
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
  JournalServices services{bench.serial};
  Platform platform{services, services, bench.serial, bench.clock, bench.events, ""};
  std::unique_ptr<Context> cx = std::make_unique<Context>(platform);
};

const std::string blanks(6, ' ');

TEST(FunctionKeys, ClipThenCommandThenTheModeLine) {
  Journaled j;
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
  EXPECT_EQ(j.services.take(), (Journal{"clip fm", "send MD1", "draw 380,80 FM" + blanks, "clip cw", "send MD5",
                                        "draw 380,80 CW " + blanks, "clip auto", "send AU1"}));
  // F1 to F7 by key code, what each says and sends; F8 is no mode key.
  const std::vector<Journal> keys = {
      {"clip fm", "send MD1"},  {"clip am", "send MD2"}, {"clip lsb", "send MD4"},  {"clip usb", "send MD3"},
      {"clip wfm", "send MD0"}, {"clip cw", "send MD5"}, {"clip auto", "send AU1"}, {}};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    for (const ModeRow& row : mode_table()) {
      if (row.key == 112 + static_cast<int>(i)) select_mode(*j.cx, row.member);
    }
    EXPECT_EQ(j.services.take(), keys[i]) << "F" << i + 1;
  }
}

TEST(ApplyMode, DrawsFirstThenPlaysAndSends) {
  const std::vector<std::pair<std::string, Journal>> cases = {
      {"WFM", {"draw 380,80 WFM" + blanks, "clip wfm", "send MD0"}},
      {"AUT", {"draw 380,80 AUT" + blanks, "clip auto", "send AU1"}},
      {"CW ", {"draw 380,80 CW " + blanks, "clip cw", "send MD5"}},
      // Not one of the seven: shown, neither spoken nor sent.
      {"CW", {"draw 380,80 CW" + blanks}},
      {"", {"draw 380,80 " + blanks}},
  };
  for (const auto& [mode, expected] : cases) {
    Journaled j;
    j.cx->st.mode_text = mode;
    apply_mode(*j.cx);
    EXPECT_EQ(j.services.take(), expected) << "'" << mode << "'";
  }
  // In black Ariel 50, leaving Aerial 30.
  testing::Bench bench;
  bench.prime_state();
  bench.st.mode_text = "AM";
  set_colour(*bench.cx, colour_red);
  apply_mode(*bench.cx);
  ASSERT_EQ(bench.display.draws.size(), 1u);
  EXPECT_EQ(std::tie(bench.display.draws[0].font, bench.display.draws[0].colour),
            std::make_tuple(FontSpec{"Ariel", 50, 700}, colour_black));
  EXPECT_EQ(bench.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
}

TEST(Switches, AttenuatorAndNoiseLimiterSpeakThenSendAndAlternate) {
  Journaled j;
  for (int round = 0; round < 2; ++round) {
    toggle_attenuator(*j.cx);
    toggle_noise_limiter(*j.cx);
    EXPECT_EQ(j.cx->st.attenuator_on + j.cx->st.noise_limiter_on, round == 0 ? 2 : 0);
  }
  EXPECT_EQ(j.services.take(), (Journal{"clip atton", "send AT1", "clip noise", "clip on", "send NL1", "clip attoff",
                                        "send AT0", "clip noise", "clip off", "send NL0"}));
  // With the voice off the commands and draws still go out.
  j.cx->st.wave_path = "";
  j.cx->st.mode_text = "USB";
  apply_mode(*j.cx);
  toggle_attenuator(*j.cx);
  EXPECT_EQ(j.services.take(), (Journal{"draw 380,80 USB" + blanks, "send MD3", "send AT1"}));
}

}  // namespace
}  // namespace talvaro
