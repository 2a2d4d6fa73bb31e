#include "tuning/frequency.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using Commands = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// A bench with clips and an open receiver port, the frequency at 145.5.
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
  const Pairs vfo = {
      {"145.5", "VA0145.50000"},         {"145", "VA0145000000"},
      {"145.", "VA0145.00000"},          {".5", "VA000.500000"},
      {"1296.25", "VA1296.25000"},       {"", "VA0000000000"},
      {"99.5", "VA0099.50000"},          {"145.12345678", "VA0145.123456780"},
      {"2147.483648", "VA2147.4836480"},
  };
  for (const auto& [text, command] : vfo) EXPECT_EQ(vfo_command("VA", text), command) << text;
  EXPECT_EQ(vfo_command("VB", "146"), "VB0146000000");
  const Pairs step = {
      {"12.5", "ST012.50"}, {"5", "ST005000"}, {"6.25", "ST006.25"}, {"", "ST000000"}, {"1000.5", "ST1000.5"}};
  for (const auto& [text, command] : step) EXPECT_EQ(step_command(text), command) << text;
}

TEST(FrequencyFields, HertzConversionsAndStepOffsetFollowTheDigits) {
  Tuned t;
  const std::vector<std::pair<std::string, std::int64_t>> to_hz = {
      {"145.5", 145'500'000},         {".5", 500'000},
      {"145.1234567", 145'123'456},  // digits past the sixth decimal add nothing
      {"145.5.5", 145'505'000},      // a second point counts as a zero digit
      {"2147.483648", 2'147'483'648},
  };
  for (const auto& [text, hz] : to_hz) {
    t.st.argument_text = text;
    frequency_to_hz(*t.cx);
    EXPECT_EQ(t.st.frequency_hz, hz) << text;
  }
  const std::vector<std::pair<std::int64_t, std::string>> to_text = {
      {145'500'000, "145.5"}, {145'000'000, "145."}, {100'000, ".1"}, {2'147'484'648, "2147.484648"}};
  for (const auto& [hz, text] : to_text) {
    t.st.frequency_hz = hz;
    hz_to_frequency(*t.cx);
    EXPECT_EQ(t.st.argument_text, text) << hz;
  }
  const std::vector<std::pair<std::string, std::int64_t>> offsets = {
      {"12.5", 12'500}, {"6.25", 6'200}, {"25", 25'000}, {".5", 500}, {"", 0}};
  for (const auto& [step, hz] : offsets) {
    t.st.step_text = step;
    EXPECT_EQ(step_offset_hz(*t.cx), hz) << step;
  }
  // A step too large for any frequency still gives an offset Page Down can negate.
  t.st.step_text = "-" + std::string(40, '9');
  EXPECT_GT(step_offset_hz(*t.cx), std::numeric_limits<std::int64_t>::min());
}

TEST(Stepping, ArrowAndPageKeysRetuneAndShowAtOnce) {
  struct Case {
    std::string from;
    std::int64_t offset;
    std::string text, command;
  };
  const std::vector<Case> cases = {
      {"145.5", 1000, "145.501", "VA0145.50100"},
      {"145.0", -1000, "144.999", "VA0144.99900"},
      {"145.001", -1000, "145.", "VA0145.00000"},
      {"145.5", 12'500, "145.5125", "VA0145.51250"},
      {"4000", -100, "3999.9999", "VA3999.99990"},
      {".1005", -500, ".1", "VA000.100000"},
      {"2147.483648", 1000, "2147.484648", "VA2147.4846480"},
  };
  for (const Case& c : cases) {
    Tuned t(c.from);
    tune_by_offset(*t.cx, c.offset);
    EXPECT_EQ(t.st.frequency_text, c.text) << c.from;
    EXPECT_EQ(t.take_commands(), Commands{c.command}) << c.from;
    EXPECT_EQ(t.audio.spoken_text(), "") << "stepping is silent";
  }
  // 145.001 down is shown as 145.0000.
  Tuned t("145.001");
  tune_by_offset(*t.cx, -1000);
  EXPECT_EQ(t.display.text_at(300, 150), "145.");
  EXPECT_EQ(t.display.draws.back().text, "0000" + std::string(30, ' '));
  // Page keys step by the step text.
  tune_by_offset(*t.cx, step_offset_hz(*t.cx));
  EXPECT_EQ(t.st.frequency_text, "145.0125");
}

TEST(Stepping, RefusedBelowOneHundredKilohertzOrOutOfRangeChangingNothing) {
  const std::vector<std::pair<std::string, std::int64_t>> refused = {
      {".1", -100},
      {"0", 1000},                          // the result is still below 0.1 MHz
      {std::string(20, '9'), 1000},         // the start does not fit in hertz
      {"9223372036854.775807", 1'000'000},  // the result does not fit
      {"145.5", std::numeric_limits<std::int64_t>::max()},
  };
  for (const auto& [from, offset] : refused) {
    Tuned t(from);
    t.st.argument_text = "untouched";
    t.st.frequency_hz = 42;
    t.st.limit_entry_fresh = 0;
    tune_by_offset(*t.cx, offset);
    EXPECT_EQ(t.audio.spoken_text(), "inv") << from;
    EXPECT_EQ(t.st.frequency_text, from);
    EXPECT_EQ(t.st.argument_text, "untouched");
    EXPECT_EQ(t.st.frequency_hz, 42);
    EXPECT_EQ(t.st.limit_entry_fresh, 0);
    EXPECT_TRUE(t.take_commands().empty());
    EXPECT_TRUE(t.display.draws.empty());
  }
}

TEST(FrequencyDisplay, BlanksThenDrawsBluePaddedTextAndLeavesBlackAriel30) {
  Tuned t;
  t.st.limit_entry_fresh = 0;
  set_colour(*t.cx, colour_green);
  show_frequency(*t.cx);
  const auto& d = t.display.draws;
  ASSERT_EQ(d.size(), 3u);
  // The blanking uses whatever colour was current; the zeros follow the text.
  EXPECT_EQ(std::tie(d[0].x, d[0].y, d[0].text, d[0].colour),
            std::make_tuple(300, 150, std::string(20, ' '), colour_green));
  EXPECT_EQ(d[0].font, (FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(std::tie(d[1].x, d[1].y, d[1].text, d[1].colour),
            std::make_tuple(300, 150, std::string("145.5"), colour_blue));
  EXPECT_EQ(std::tie(d[2].x, d[2].text, d[2].colour), std::make_tuple(350, "000" + std::string(30, ' '), colour_blue));
  EXPECT_EQ(t.cx->text_state.colour, colour_black);
  EXPECT_EQ(t.cx->text_state.font, (FontSpec{"Ariel", 30, 700}));
  EXPECT_EQ(t.st.limit_entry_fresh, 1);
  EXPECT_EQ(t.st.argument_text, "145.5");
  // Eight characters or more: no padding; a short text at most four zeros.
  for (const auto& [text, padding] : Pairs{{"145.1234", ""}, {"145.12345", ""}, {"1.", "0000"}}) {
    Tuned u(text);
    show_frequency(*u.cx);
    EXPECT_EQ(u.display.draws.size(), padding.empty() ? 2u : 3u) << text;
    EXPECT_EQ(u.display.draws.back().text, padding.empty() ? text : padding + std::string(30, ' '));
  }
}

TEST(DigitEntry, EachEntryModeFeedsItsField) {
  Tuned t;
  State& st = t.st;
  // Mode 0: the first digit after a commit starts a new frequency.
  st.frequency_entry_fresh = 1;
  t.type("144.50");
  EXPECT_EQ(st.frequency_text, "144.50");
  EXPECT_EQ(st.frequency_entry_fresh, 0);
  // Modes 1 to 3: the limits and the step, emptied first when fresh.
  for (const auto& [mode, field] : std::vector<std::pair<int, Text State::*>>{
           {1, &State::search_low_text}, {2, &State::search_high_text}, {3, &State::step_text}}) {
    st.entry_mode = mode;
    st.*field = "old";
    st.limit_entry_fresh = 1;
    t.type("25");
    EXPECT_EQ(st.*field, "25") << mode;
  }
  // Bank commands collect their number.
  for (int mode : {4, 5, 6, 7, 10, 11}) {
    st.entry_mode = mode;
    st.bank_number_text = "0";
    t.type("7");
    EXPECT_EQ(st.bank_number_text, "07") << mode;
  }
  // Mode 8 only echoes.
  st.entry_mode = 8;
  st.bank_number_text = "A";
  t.type("3");
  EXPECT_EQ(st.bank_number_text, "A");
  EXPECT_EQ(st.frequency_text, "144.50");
  EXPECT_EQ(t.audio.spoken_text(), "1 4 4 point 5 0 2 5 2 5 2 5 7 7 7 7 7 7 3");
  EXPECT_TRUE(t.take_commands().empty());
  EXPECT_TRUE(t.display.draws.empty()) << "typed characters are not drawn";

  // The write command takes two digits, then refuses a third.
  t.audio.plays.clear();
  st.entry_mode = 9;
  st.bank_number_text = "";
  t.type("051");
  EXPECT_EQ(st.bank_number_text, "05");
  EXPECT_EQ(st.entry_mode, 0);
  EXPECT_EQ(t.audio.spoken_text(), "0 5 torb 1 inv");

  // Nothing at all while a bank scan runs; bank mode alone still takes digits.
  t.audio.plays.clear();
  st.bank_scan_state = 2;
  st.frequency_entry_fresh = 1;
  t.type("1.");
  EXPECT_EQ(st.frequency_text, "144.50");
  EXPECT_EQ(st.frequency_entry_fresh, 1);
  EXPECT_EQ(t.audio.spoken_text(), "");
  st.bank_scan_state = 1;
  t.type("1");
  EXPECT_EQ(st.frequency_text, "1");
}

TEST(Commit, TypedFrequencyIsSentShownAndEndsScansAndSearch) {
  Tuned t;
  State& st = t.st;
  st.frequency_entry_fresh = 1;
  t.type("145.5");
  st.search_state = 2;
  st.bank_scan_state = 1;
  st.receiver_scan_state = 3;
  commit_frequency(*t.cx);
  EXPECT_EQ(t.take_commands(), Commands{"VA0145.50000"});
  EXPECT_EQ(t.display.text_at(300, 150), "145.5");
  EXPECT_EQ(st.search_state + st.bank_scan_state + st.receiver_scan_state, 0);
  EXPECT_EQ(t.audio.spoken_text(true), "1 4 5 point 5 shdel");

  // Without a point the command keeps the typed text; the panel gains ".0".
  st.frequency_entry_fresh = 1;
  t.type("145");
  commit_frequency(*t.cx);
  EXPECT_EQ(t.take_commands(), Commands{"VA0145000000"});
  EXPECT_EQ(st.frequency_text, "145.0");
  EXPECT_EQ(t.display.text_at(300, 150), "145.0");

  // Up before Enter steps from the typed digits and keeps the entry flag.
  st.frequency_entry_fresh = 1;
  t.type("145");
  tune_by_offset(*t.cx, 1000);
  EXPECT_EQ(t.take_commands(), Commands{"VA0145.00100"});
  t.type("5");
  EXPECT_EQ(st.frequency_text, "145.0015");

  // Nothing typed, or another entry pending: nothing happens.
  st.frequency_text = "";
  commit_frequency(*t.cx);
  st.frequency_text = "146";
  st.entry_mode = 3;
  commit_frequency(*t.cx);
  EXPECT_TRUE(t.take_commands().empty());
}

TEST(Vfo, VfoBIsSentButNotShownAndAStepIsSent) {
  Tuned t;
  t.st.argument_text = "146";
  set_vfo_b(*t.cx);
  t.st.step_text = "6.25";
  send_step(*t.cx);
  EXPECT_EQ(t.take_commands(), (Commands{"VB0146000000", "ST006.25"}));
  EXPECT_TRUE(t.display.draws.empty());
  EXPECT_EQ(t.st.frequency_text, "145.5");
}

}  // namespace
}  // namespace talvaro
