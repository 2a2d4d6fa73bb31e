#include "tuning/frequency.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "link/serial.h"
#include "panel/display.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using Commands = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// A bench with clips and an open receiver port, the step at 12.5.
struct Tuned : testing::Bench {
  explicit Tuned(const std::string& frequency = "145.5") {
    prime_state();
    make_clips();
    st.com_port = 1;
    open_port(*cx, 1, 9600);
    st.frequency_text = frequency;
    st.step_text = "12.5";
  }
  void type(const std::string& keys) {
    for (const char key : keys) enter_digit(*cx, key);
  }
};

TEST(FrequencyFields, VfoAndStepCommandsPadToTheReceiversFields) {
  const Pairs vfo = {{"145.5", "VA0145.50000"},
                     {".5", "VA000.500000"},
                     {"", "VA0000000000"},
                     {"145.12345678", "VA0145.123456780"},
                     {"2147.483648", "VA2147.4836480"}};
  for (const auto& [text, command] : vfo) EXPECT_EQ(vfo_command("VA", text), command) << text;
  const Pairs step = {
      {"12.5", "ST012.50"}, {"5", "ST005000"}, {"6.25", "ST006.25"}, {"1000.5", "ST1000.5"}, {"100", "ST100000"}};
  for (const auto& [text, command] : step) EXPECT_EQ(step_command(text), command) << text;
  // Hertz back to MHz text: the point before the last six digits, any sign kept.
  const std::vector<std::pair<std::int64_t, std::string>> texts = {
      {145'500'000, "145.5"}, {145'000'000, "145."},
      {500'000, ".5"},        {50'000, ".05"},
      {-2'500'000, "-2.5"},   {std::numeric_limits<std::int64_t>::min(), "-9223372036854.775808"}};
  for (const auto& [hz, text] : texts) EXPECT_EQ(frequency_of_hz(hz), text) << hz;
  // Page keys step by one decimal of the step only; a huge step can still be negated.
  EXPECT_EQ(step_offset_hz("6.25"), 6'200);
  EXPECT_GT(step_offset_hz("-" + std::string(40, '9')), std::numeric_limits<std::int64_t>::min());
}

TEST(Stepping, ArrowAndPageKeysRetuneSilentlyOrRefuseChangingNothing) {
  const std::vector<std::tuple<std::string, std::int64_t, std::string>> cases = {
      {"145.5", 1000, "VA0145.50100"},
      {".1005", -500, "VA000.100000"},
      {"2147.483648", 1000, "VA2147.4846480"},
      {".1", -100, ""},
      {std::string(20, '9'), 1000, ""},
      {"9223372036854.775807", 1'000'000, ""},
      {"145.5", std::numeric_limits<std::int64_t>::max(), ""},  // out of range
  };
  for (const auto& [from, offset, command] : cases) {
    Tuned t(from);
    t.st.limit_entry_fresh = 0;
    tune_by_offset(*t.cx, offset);
    EXPECT_EQ(std::tuple(t.take_commands(), t.audio.spoken_text()),
              std::tuple(command.empty() ? Commands{} : Commands{command}, command.empty() ? "inv" : ""))
        << from;
    if (command.empty()) {
      EXPECT_EQ(std::tuple(t.st.frequency_text.str(), t.st.limit_entry_fresh, t.display.draws.size()),
                std::tuple(from, 0, std::size_t{0}));
    }
  }
  // The text drops trailing zeros: 145.001 down is "145." shown as 145.0000;
  // Page Up by 12.5 from 145.5 gives 145.5125.
  Tuned t("145.001");
  tune_by_offset(*t.cx, -1000);
  EXPECT_EQ(std::tuple(t.st.frequency_text.str(), t.display.text_at(300, 150), t.display.draws.back().text),
            std::tuple("145.", "145.", "0000" + std::string(30, ' ')));
  t.st.frequency_text = "145.5";
  tune_by_offset(*t.cx, step_offset_hz(*t.cx));
  EXPECT_EQ(t.st.frequency_text, "145.5125");
}

TEST(FrequencyDisplay, BlanksThenDrawsBluePaddedTextAndLeavesBlackAriel30) {
  Tuned t;
  set_colour(*t.cx, colour_green);
  show_frequency(*t.cx);
  const auto& d = t.display.draws;
  ASSERT_EQ(d.size(), 3u);
  // The blanking uses whatever colour was current; the zeros follow the text.
  EXPECT_EQ(std::tie(d[0].text, d[0].colour), std::make_tuple(std::string(20, ' '), colour_green));
  EXPECT_EQ(std::tie(d[1].x, d[1].y, d[1].text, d[1].colour),
            std::make_tuple(300, 150, std::string("145.5"), colour_blue));
  EXPECT_EQ(std::tie(d[2].x, d[2].text, d[2].colour), std::make_tuple(350, "000" + std::string(30, ' '), colour_blue));
  EXPECT_EQ(std::tuple(d[1].font, t.cx->text_state.colour, t.cx->text_state.font),
            std::tuple(FontSpec{"Ariel", 50, 700}, colour_black, FontSpec{"Ariel", 30, 700}));
  // Eight characters or more: no padding; a short text at most four zeros.
  for (const auto& [text, padding] : Pairs{{"145.1234", ""}, {"1.", "0000"}}) {
    Tuned u(text);
    show_frequency(*u.cx);
    EXPECT_EQ(u.display.draws.back().text, padding.empty() ? text : padding + std::string(30, ' '));
  }
}

TEST(DigitEntry, EachEntryModeFeedsItsField) {
  Tuned t;
  State& st = t.st;
  st.frequency_entry_fresh = 1;  // the first digit after a commit starts anew
  t.type("x/:144.5");            // keys that are no digit are ignored, unspoken
  EXPECT_EQ(t.audio.spoken_text(), "1 4 4 point 5");
  for (const auto& [mode, field] :
       std::vector<std::pair<EntryMode, Text State::*>>{{EntryMode::low_limit, &State::search_low_text},
                                                        {EntryMode::high_limit, &State::search_high_text},
                                                        {EntryMode::step, &State::step_text}}) {
    st.entry_mode = mode;
    st.limit_entry_fresh = 1;
    t.type("25");
    EXPECT_EQ(st.*field, "25") << to_underlying(mode);
  }
  for (EntryMode mode : {EntryMode::transfer, EntryMode::kill}) {  // bank commands collect their number
    st.entry_mode = mode;
    st.bank_number_text = "0";
    t.type("7");
    EXPECT_EQ(st.bank_number_text, "07") << to_underlying(mode);
  }
  st.entry_mode = EntryMode::receiver_scan;  // only echoes
  t.type("3");
  EXPECT_EQ(st.bank_number_text, "07");
  EXPECT_EQ(st.frequency_text, "144.5");
  st.entry_mode = EntryMode::write;  // two digits, then a third is refused
  st.bank_number_text = "";
  t.type("051");
  EXPECT_EQ(st.bank_number_text, "05");
  EXPECT_EQ(st.entry_mode, EntryMode::none);
  // Nothing at all while a bank scan runs.
  st.bank_scan_state = BankScanState::started;
  t.type("1");
  EXPECT_EQ(st.frequency_text, "144.5");
  EXPECT_EQ(t.audio.spoken_text(), "1 4 4 point 5 2 5 2 5 2 5 7 7 3 0 5 torb 1 inv");
  EXPECT_TRUE(t.take_commands().empty());
  EXPECT_TRUE(t.display.draws.empty()) << "typed characters are not drawn";
}

TEST(Commit, TypedFrequencyIsSentShownAndEndsScansAndSearch) {
  Tuned t;
  State& st = t.st;
  st.frequency_entry_fresh = 1;
  t.type("145.5");
  st.search_state = SearchState::searching;
  st.bank_scan_state = BankScanState::bank_mode;
  st.receiver_scan_state = ReceiverScanState::started;
  commit_frequency(*t.cx);
  EXPECT_EQ(t.take_commands(), Commands{"VA0145.50000"});
  EXPECT_EQ(t.display.text_at(300, 150), "145.5");
  EXPECT_EQ(st.search_state, SearchState::off);
  EXPECT_EQ(st.bank_scan_state, BankScanState::off);
  EXPECT_EQ(st.receiver_scan_state, ReceiverScanState::off);
  // Without a point the command keeps the typed text; the panel gains ".0".
  st.frequency_entry_fresh = 1;
  t.type("145");
  commit_frequency(*t.cx);
  EXPECT_EQ(t.take_commands(), Commands{"VA0145000000"});
  EXPECT_EQ(t.display.text_at(300, 150), "145.0");
  // Nothing typed, or another entry pending: nothing is sent.
  st.frequency_text = "";
  commit_frequency(*t.cx);
  st.frequency_text = "146";
  st.entry_mode = EntryMode::step;
  commit_frequency(*t.cx);
  st.argument_text = "146";
  set_vfo_b(*t.cx);  // VFO B is sent, not shown
  EXPECT_EQ(t.take_commands(), Commands{"VB0146000000"});
}

}  // namespace
}  // namespace talvaro
