// The receiver model on a fake clock, one script per row: what it answers to
// each command (joined by '|'), with "!" lines applied as control directives
// and "~" lines moving the clock on (answered by the reports meanwhile).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directives.h"
#include "protocol.h"
#include "sim_fakes.h"

namespace ar8600sim::testing {
namespace {

using namespace std::chrono_literals;

struct Step {
  std::string line;
  std::string answer;
};

std::string joined(const std::vector<std::string>& texts) {
  std::string out;
  for (std::size_t i = 0; i < texts.size(); ++i) out += (i == 0 ? "" : "|") + texts[i];
  return out;
}

std::string run(Bench& bench, LineSettings& line, const std::string& text) {
  if (text[0] == '!') return apply_directive(text.substr(1), bench.receiver, line, bench.clock.time);
  if (text[0] == '~') return joined(bench.wait(Millis{std::stoi(text.substr(1))}));
  if (text == "up") return joined(bench.key(kKeyUp));
  if (text == "down") return joined(bench.key(kKeyDown));
  return joined(bench.send(text));
}

TEST(Receiver, AnswersEachScriptStepByStep) {
  const std::vector<std::vector<Step>> scripts = {
      // Frequencies in hertz or megahertz, rounded to 50 Hz; out of range or
      // malformed refused, changing nothing.
      {{"VA0145.51237", ""},
       {"RX", "VA RF0145512350 ST012500 AU0 MD1 AT0"},
       {"VA0145512374", ""},
       {"VA0145.512375", ""},
       {"RX", "VA RF0145512400 ST012500 AU0 MD1 AT0"},
       {"VB0000.1", ""},
       {"RX", "VB RF0000100000 ST012500 AU0 MD1 AT0"},
       {"VB2040", "?"},
       {"VA0000.0999", "?"},
       {"VA2040.1", "?"},
       {"VA145", "?"},
       {"VA0145.5.0", "?"},
       {"VAabc", "?"},
       {"RX", "VB RF0000100000 ST012500 AU0 MD1 AT0"}},
      // Parameters, keys and refusals.
      {{"ST012.50", ""}, {"ST", "ST012500"}, {"ST8.33", ""},   {"ST", "ST008330"},
       {"MD8", ""},      {"MD", "MD8"},      {"NL1", ""},      {"VR", "VR0101"},
       {"ST12500", "?"}, {"MD9", "?"},       {"AU2", "?"},     {"LC3", "?"},
       {"lm", "?"},      {"LM1", "?"},       {"VA0145.0", ""}, {"ST025000", ""},
       {"up", ""},       {"down", ""},       {"down", ""},     {"RX", "VA RF0144975000 ST025000 AU0 MD8 AT0"}},
      // Levels: within the bandwidth, less the attenuator, against the squelch.
      {{"!signal 145.5 25", ""},
       {"VA0145.504", ""},
       {"LM", "LM 025"},
       {"MD3", ""},
       {"LM", "LM%000"},
       {"MD1", ""},
       {"AT1", ""},
       {"LM", "LM%005"}},
      // A search stops on a signal, queries keep it going, a setting ends it.
      {{"!signal 145.5 49", ""},
       {"VA0145000000", ""},
       {"VB0146000000", ""},
       {"VS", ""},
       {"~1950", ""},
       {"LM", "LM%000"},
       {"~50", ""},
       {"RX", "VS RF0145500000 ST012500 AU0 MD1 AT0"},
       {"up", ""},
       {"RX", "VS RF0145512500 ST012500 AU0 MD1 AT0"},
       {"VA9999.0", "?"},
       {"MD2", ""},
       {"RX", "VA RF0145000000 ST012500 AU0 MD2 AT0"}},
      // Level reports on each opening and closing.
      {{"!signal 145.5 49", ""},
       {"LC1", ""},
       {"VA0145.50000", "|LC049 VA RF0145500000"},
       {"VA0145.60000", "|LC%000 VA"},
       {"!signal add 145.6 30 start=1", ""},
       {"~1500", "LC030 VA RF0145600000"}},
      // Memory: channels written in any field order, recalled, resized, deleted.
      {{"MXC01 MD2 RF0145200000 TMFIRST", ""},
       {"MRC01", ""},
       {"MR", "MR MXC01 MP0 RF0145200000 ST012500 AU0 MD2 AT0 TMFIRST       "},
       {"MXC50 RF0118100000", "?"},
       {"MXK07", "?"},
       {"MW C", "MW C:50 c:50"},
       {"MW C90", ""},
       {"MW c", "MW C:90 c:10"},
       {"MW C91", "?"},
       {"MQ", ""},
       {"MRC01", "?"}},
      // A memory scan skips passed channels and stops on a signal.
      {{"!signal 145.4 49", ""},
       {"MXA01 RF0145200000", ""},
       {"MXA02 RF0145300000 MP1", ""},
       {"MXA03 RF0145400000", ""},
       {"LC1", ""},
       {"MSA", ""},
       {"~1000", "LC049 MXA03 RF0145400000"},
       {"MR", "MR MXA03 MP0 RF0145400000 ST012500 AU0 MD1 AT0 TM            "},
       {"MSC", "?"}},
  };
  for (std::size_t s = 0; s < scripts.size(); ++s) {
    Bench bench;
    LineSettings line;
    for (const auto& step : scripts[s])
      EXPECT_EQ(run(bench, line, step.line), step.answer) << "script " << s << ": " << step.line;
  }
}

}  // namespace
}  // namespace ar8600sim::testing
