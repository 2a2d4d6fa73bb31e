#include "tuning/frequency.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;
using Commands = std::vector<std::string>;

// A bench with clips and an open receiver port, the frequency at 145.5.
struct Tuned {
  Tuned() {
    bench.prime_state();
    bench.make_clips();
    bench.st.com_port = 1;
    open_port(*bench.cx, 1, 9600);
    bench.st.frequency_text = "145.5";
    bench.st.step_text = "12.5";
  }
  Context& cx() { return *bench.cx; }
  State& st() { return bench.st; }
  Bench bench;
};

TEST(FrequencyFields, VfoCommandsPadTheWholeMegahertzAndEndWithOneZero) {
  const std::vector<std::pair<std::string, std::string>> examples = {
      {"145.5", "VA0145.50000"},
      {"145", "VA0145000000"},
      {"145.", "VA0145.00000"},
      {"0.5", "VA0000.50000"},
      {".5", "VA000.500000"},
      {"1296.25", "VA1296.25000"},
      {"5", "VA0005000000"},
      {"", "VA0000000000"},
      {"145.12345678", "VA0145.123456780"},
      {"99.5", "VA0099.50000"},
      {"2147.483648", "VA2147.4836480"},
  };
  for (const auto& [text, command] : examples) EXPECT_EQ(vfo_command("VA", text), command) << text;
  EXPECT_EQ(vfo_command("VB", "146"), "VB0146000000");
}

TEST(FrequencyFields, StepCommandsPadToEightCharactersWithoutAnExtraZero) {
  const std::vector<std::pair<std::string, std::string>> examples = {
      {"12.5", "ST012.50"}, {"5", "ST005000"},      {"100", "ST100000"},  {"6.25", "ST006.25"},
      {"", "ST000000"},     {"1000.5", "ST1000.5"}, {"9.99", "ST009.99"},
  };
  for (const auto& [text, command] : examples) EXPECT_EQ(step_command(text), command) << text;
}

TEST(FrequencyFields, HertzConversionsFollowTheDigits) {
  Tuned t;
  const std::vector<std::pair<std::string, std::int64_t>> to_hz = {
      {"145.5", 145'500'000},
      {"145", 145'000'000},
      {".5", 500'000},
      {"145.1234567", 145'123'456},  // digits past the sixth decimal add nothing
      {"145.5.5", 145'505'000},      // a second point counts as a zero digit
      {"2147.483648", 2'147'483'648},
      {"", 0},
  };
  for (const auto& [text, hz] : to_hz) {
    t.st().argument_text = text;
    frequency_to_hz(t.cx());
    EXPECT_EQ(t.st().frequency_hz, hz) << text;
  }
  const std::vector<std::pair<std::int64_t, std::string>> to_text = {
      {145'500'000, "145.5"}, {145'000'000, "145."}, {500'000, ".5"}, {100'000, ".1"}, {2'147'484'648, "2147.484648"},
  };
  for (const auto& [hz, text] : to_text) {
    t.st().frequency_hz = hz;
    hz_to_frequency(t.cx());
    EXPECT_EQ(t.st().argument_text, text) << hz;
  }
}

TEST(FrequencyFields, StepOffsetCountsOneDecimalOnly) {
  Tuned t;
  const std::vector<std::pair<std::string, std::int64_t>> examples = {
      {"12.5", 12'500}, {"6.25", 6'200}, {"8.33", 8'300}, {"25", 25'000}, {"12.", 12'000}, {".5", 500}, {"", 0},
  };
  for (const auto& [step, hz] : examples) {
    t.st().step_text = step;
    EXPECT_EQ(step_offset_hz(t.cx()), hz) << step;
  }
  // A step too large for any frequency still gives an offset that Page Down
  // can negate.
  t.st().step_text = "-" + std::string(40, '9');
  EXPECT_GT(step_offset_hz(t.cx()), std::numeric_limits<std::int64_t>::min());
}

TEST(Stepping, ArrowAndPageKeysRetuneAndShowAtOnce) {
  struct Case {
    std::string from;
    std::int64_t offset;
    std::string text;
    std::string command;
  };
  const std::vector<Case> cases = {
      {"145.5", 1000, "145.501", "VA0145.50100"},    {"145.5", 100, "145.5001", "VA0145.50010"},
      {"145.0", -1000, "144.999", "VA0144.99900"},   {"145.001", -1000, "145.", "VA0145.00000"},
      {"145.5", 12'500, "145.5125", "VA0145.51250"}, {"2147.483648", 1000, "2147.484648", "VA2147.4846480"},
      {"4000", -100, "3999.9999", "VA3999.99990"},   {".1005", -500, ".1", "VA000.100000"},
  };
  for (const Case& c : cases) {
    Tuned t;
    t.st().frequency_text = c.from;
    tune_by_offset(t.cx(), c.offset);
    EXPECT_EQ(t.st().frequency_text, c.text) << c.from;
    EXPECT_EQ(t.bench.take_commands(), Commands{c.command}) << c.from;
    EXPECT_EQ(t.bench.audio.spoken_text(), "") << "stepping is silent";
  }
  Tuned t;
  t.st().frequency_text = "145.001";
  tune_by_offset(t.cx(), -1000);
  // Shown as 145.0000.
  const auto& draws = t.bench.display.draws;
  ASSERT_GE(draws.size(), 2u);
  EXPECT_EQ(t.bench.display.text_at(300, 150), "145.");
  EXPECT_EQ(draws.back().text, "0000" + std::string(30, ' '));
}

TEST(Stepping, RefusedBelowOneHundredKilohertzOrOutOfRangeChangingNothing) {
  const std::vector<std::pair<std::string, std::int64_t>> refused = {
      {".1", -100},
      {".5", -1000 * 1000},
      {"0", 1000},                          // the result is still below 0.1 MHz
      {std::string(20, '9'), 1000},         // the start does not fit in hertz
      {"9223372036854.775807", 1'000'000},  // the result does not fit
      {"145.5", std::numeric_limits<std::int64_t>::max()},
  };
  for (const auto& [from, offset] : refused) {
    Tuned t;
    t.st().frequency_text = from;
    t.st().argument_text = "untouched";
    t.st().frequency_hz = 42;
    t.st().limit_entry_fresh = 0;
    tune_by_offset(t.cx(), offset);
    EXPECT_EQ(t.bench.audio.spoken_text(), "inv") << from;
    EXPECT_EQ(t.st().frequency_text, from);
    EXPECT_EQ(t.st().argument_text, "untouched");
    EXPECT_EQ(t.st().frequency_hz, 42);
    EXPECT_EQ(t.st().limit_entry_fresh, 0);
    EXPECT_TRUE(t.bench.take_commands().empty());
    EXPECT_TRUE(t.bench.display.draws.empty());
  }
  // Exactly 0.1 MHz is still allowed.
  Tuned t;
  t.st().frequency_text = ".1001";
  tune_by_offset(t.cx(), -100);
  EXPECT_EQ(t.st().frequency_text, ".1");
}

TEST(FrequencyDisplay, BlanksThenDrawsBluePaddedTextAndLeavesBlackAriel30) {
  Tuned t;
  t.st().frequency_text = "145.5";
  t.st().limit_entry_fresh = 0;
  set_colour(t.cx(), colour_green);
  show_frequency(t.cx());
  const auto& draws = t.bench.display.draws;
  ASSERT_EQ(draws.size(), 3u);
  EXPECT_EQ(draws[0].text, std::string(20, ' '));
  EXPECT_EQ(draws[0].colour, colour_green);  // the blanking uses whatever colour was current
  EXPECT_EQ(draws[0].font, (FontSpec{"Ariel", 50, 700}));
  EXPECT_EQ(draws[0].x, 300);
  EXPECT_EQ(draws[0].y, 150);
  EXPECT_EQ(draws[1].x, 300);
  EXPECT_EQ(draws[1].y, 150);
  EXPECT_EQ(draws[1].text, "145.5");
  EXPECT_EQ(draws[1].colour, colour_blue);
  EXPECT_EQ(draws[2].x, 300 + 5 * 10);  // directly after the frequency
  EXPECT_EQ(draws[2].text, "000" + std::string(30, ' '));
  EXPECT_EQ(draws[2].colour, colour_blue);
  EXPECT_EQ(t.cx().text_state.colour, colour_black);
  EXPECT_EQ(t.cx().text_state.font, (FontSpec{"Ariel", 30, 700}));
  EXPECT_EQ(t.st().limit_entry_fresh, 1);
  EXPECT_EQ(t.st().argument_text, "145.5");

  // Eight characters or more: neither zeros nor spaces; a short text at most
  // four zeros.
  for (const auto& [text, padding] :
       std::vector<std::pair<std::string, std::string>>{{"145.1234", ""}, {"145.12345", ""}, {"1.", "0000"}}) {
    Tuned u;
    u.st().frequency_text = text;
    show_frequency(u.cx());
    const auto& d = u.bench.display.draws;
    if (padding.empty()) {
      EXPECT_EQ(d.size(), 2u) << text;
    } else {
      ASSERT_EQ(d.size(), 3u);
      EXPECT_EQ(d[2].text, padding + std::string(30, ' '));
    }
  }
}

TEST(DigitEntry, EachEntryModeFeedsItsField) {
  Tuned t;
  State& st = t.st();
  // Mode 0: the first digit after a commit starts a new frequency.
  st.frequency_entry_fresh = 1;
  for (int key : {'1', '4', '4', '.', '5'}) enter_digit(t.cx(), key);
  EXPECT_EQ(st.frequency_text, "144.5");
  EXPECT_EQ(st.frequency_entry_fresh, 0);
  enter_digit(t.cx(), '0');
  EXPECT_EQ(st.frequency_text, "144.50");

  // Modes 1 to 3: the limits and the step, emptied first when fresh.
  const std::vector<std::pair<int, Text State::*>> limits = {
      {1, &State::search_low_text}, {2, &State::search_high_text}, {3, &State::step_text}};
  for (const auto& [mode, field] : limits) {
    st.entry_mode = mode;
    st.*field = "old";
    st.limit_entry_fresh = 1;
    enter_digit(t.cx(), '2');
    enter_digit(t.cx(), '5');
    EXPECT_EQ(st.*field, "25") << mode;
    EXPECT_EQ(st.limit_entry_fresh, 0);
  }

  // Bank commands collect their number.
  for (int mode : {4, 5, 6, 7, 10, 11}) {
    st.entry_mode = mode;
    st.bank_number_text = "0";
    enter_digit(t.cx(), '7');
    EXPECT_EQ(st.bank_number_text, "07") << mode;
  }

  // Mode 8 only echoes.
  st.entry_mode = 8;
  st.bank_number_text = "A";
  const Text frequency = st.frequency_text;
  enter_digit(t.cx(), '3');
  EXPECT_EQ(st.bank_number_text, "A");
  EXPECT_EQ(st.frequency_text, frequency);
  EXPECT_EQ(st.entry_mode, 8);

  EXPECT_EQ(t.bench.audio.spoken_text(), "1 4 4 point 5 0 2 5 2 5 2 5 7 7 7 7 7 7 3");
  EXPECT_TRUE(t.bench.take_commands().empty());
  EXPECT_TRUE(t.bench.display.draws.empty()) << "typed characters are not drawn";
}

TEST(DigitEntry, WriteCommandTakesTwoDigitsThenRefusesAThird) {
  Tuned t;
  State& st = t.st();
  st.entry_mode = 9;
  st.bank_number_text = "";
  enter_digit(t.cx(), '0');
  enter_digit(t.cx(), '5');
  EXPECT_EQ(st.bank_number_text, "05");
  EXPECT_EQ(st.entry_mode, 9);
  enter_digit(t.cx(), '1');
  EXPECT_EQ(st.bank_number_text, "05");
  EXPECT_EQ(st.entry_mode, 0);
  EXPECT_EQ(t.bench.audio.spoken_text(), "0 5 torb 1 inv");
}

TEST(DigitEntry, NothingAtAllWhileABankScanRuns) {
  Tuned t;
  t.st().bank_scan_state = 2;
  t.st().frequency_entry_fresh = 1;
  enter_digit(t.cx(), '1');
  enter_digit(t.cx(), '.');
  EXPECT_EQ(t.st().frequency_text, "145.5");
  EXPECT_EQ(t.st().frequency_entry_fresh, 1);
  EXPECT_EQ(t.bench.audio.spoken_text(), "");
  // Bank mode without a scan still takes digits.
  t.st().bank_scan_state = 1;
  enter_digit(t.cx(), '1');
  EXPECT_EQ(t.st().frequency_text, "1");
}

TEST(Commit, TypedFrequencyIsSentShownAndEndsScansAndSearch) {
  Tuned t;
  State& st = t.st();
  st.frequency_entry_fresh = 1;
  for (int key : {'1', '4', '5', '.', '5'}) enter_digit(t.cx(), key);
  st.search_state = 2;
  st.bank_scan_state = 1;
  st.receiver_scan_state = 3;
  commit_frequency(t.cx());
  EXPECT_EQ(t.bench.take_commands(), Commands{"VA0145.50000"});
  EXPECT_EQ(t.bench.display.text_at(300, 150), "145.5");
  EXPECT_EQ(st.search_state, 0);
  EXPECT_EQ(st.bank_scan_state, 0);
  EXPECT_EQ(st.receiver_scan_state, 0);
  EXPECT_EQ(t.bench.audio.spoken_text(true), "1 4 5 point 5 shdel");

  // Without a point the command keeps the typed text; the panel gains ".0".
  st.frequency_entry_fresh = 1;
  for (int key : {'1', '4', '5'}) enter_digit(t.cx(), key);
  commit_frequency(t.cx());
  EXPECT_EQ(t.bench.take_commands(), Commands{"VA0145000000"});
  EXPECT_EQ(st.frequency_text, "145.0");
  EXPECT_EQ(t.bench.display.text_at(300, 150), "145.0");

  // Nothing typed, or another entry pending: nothing happens.
  st.frequency_text = "";
  commit_frequency(t.cx());
  st.frequency_text = "146";
  st.entry_mode = 3;
  commit_frequency(t.cx());
  EXPECT_TRUE(t.bench.take_commands().empty());
}

TEST(Stepping, PageKeysStepByTheStepText) {
  Tuned t;
  t.st().step_text = "12.5";
  tune_by_offset(t.cx(), step_offset_hz(t.cx()));
  EXPECT_EQ(t.st().frequency_text, "145.5125");
  t.st().step_text = "6.25";  // counts as 6.2 kHz
  tune_by_offset(t.cx(), -step_offset_hz(t.cx()));
  tune_by_offset(t.cx(), -step_offset_hz(t.cx()));
  EXPECT_EQ(t.st().frequency_text, "145.5001");
  EXPECT_EQ(t.bench.take_commands(), (Commands{"VA0145.51250", "VA0145.50630", "VA0145.50010"}));
}

TEST(Stepping, UpBeforeEnterStepsFromTheTypedDigitsAndKeepsTheEntryFlag) {
  Tuned t;
  State& st = t.st();
  st.frequency_entry_fresh = 1;
  for (int key : {'1', '4', '5'}) enter_digit(t.cx(), key);
  tune_by_offset(t.cx(), 1000);
  EXPECT_EQ(st.frequency_text, "145.001");
  EXPECT_EQ(t.bench.take_commands(), Commands{"VA0145.00100"});
  // The entry flag is not touched: a further digit extends the text.
  enter_digit(t.cx(), '5');
  EXPECT_EQ(st.frequency_text, "145.0015");
}

TEST(Vfo, VfoBIsSentButNotShownAndAStepIsSent) {
  Tuned t;
  t.st().argument_text = "146";
  t.st().frequency_text = "145.5";
  set_vfo_b(t.cx());
  t.st().step_text = "6.25";
  send_step(t.cx());
  EXPECT_EQ(t.bench.take_commands(), (Commands{"VB0146000000", "ST006.25"}));
  EXPECT_TRUE(t.bench.display.draws.empty());
  EXPECT_EQ(t.st().frequency_text, "145.5");
}

}  // namespace
}  // namespace talvaro
