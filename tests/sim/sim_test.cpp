// The receiver simulator's model on a fake clock, one script per row; the
// program itself (link, log, control FIFO) is what every end-to-end run uses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clock.h"
#include "directives.h"
#include "protocol.h"
#include "receiver.h"

namespace ar8600sim {
namespace {

struct FakeClock final : Clock {
  Millis now() const override { return time; }
  Millis time{0};
};

std::string joined(const Replies& replies) {
  std::string out;
  for (std::size_t i = 0; i < replies.size(); ++i) out += (i == 0 ? "" : "|") + replies[i].text;
  return out;
}

// What the model answers to each line ("line=>replies", joined by '|'): "!" lines are
// directives (answered by their problem), "~" lines move the clock on in
// 10 ms ticks (answered by the reports meanwhile), "up"/"down" the keys.
TEST(Receiver, AnswersEachScriptStepByStep) {
  const std::vector<std::vector<std::string>> scripts = {
      // Frequencies in hertz or megahertz, rounded to 50 Hz; out of range or
      // malformed refused, changing nothing; parameters and keys.
      {"VA0145.51237=>", "RX=>VA RF0145512350 ST012500 AU0 MD1 AT0", "VB0000.1=>", "VA2040.1=>?", "VA0145.5.0=>?",
       "RX=>VB RF0000100000 ST012500 AU0 MD1 AT0", "ST8.33=>", "ST=>ST008330", "MD9=>?", "lm=>?", "VA0145.0=>",
       "ST025000=>", "up=>", "down=>", "down=>", "RX=>VA RF0144975000 ST025000 AU0 MD1 AT0"},
      // Levels: within the bandwidth, against the squelch, less the attenuator;
      // a signal that starts later; one removed.
      {"!signal 145.5 25=>", "VA0145.504=>", "LM=>LM 025", "MD3=>", "LM=>LM%000", "MD1=>", "AT1=>", "LM=>LM%005",
       "AT0=>", "!signal add 145.6 30 start=1=>", "VA0145.6=>", "LM=>LM%000", "~1500=>", "LM=>LM 030",
       "!signal remove 145.6=>", "LM=>LM%000", "!whatever 1=>unknown directive 'whatever'"},
      // A search stops on a signal, queries keep it going, a setting ends it.
      {"!signal 145.5 49=>", "VA0145000000=>", "VB0146000000=>", "VS=>", "~2000=>",
       "RX=>VS RF0145500000 ST012500 AU0 MD1 AT0", "up=>", "RX=>VS RF0145512500 ST012500 AU0 MD1 AT0", "MD2=>",
       "RX=>VA RF0145000000 ST012500 AU0 MD2 AT0"},
      // Level reports on each opening and closing.
      {"!signal 145.5 49=>", "LC1=>", "VA0145.50000=>|LC049 VA RF0145500000", "VA0145.60000=>|LC%000 VA"},
      // Memory: channels written in any field order, recalled, resized,
      // deleted; a memory scan skips passed channels and stops on a signal.
      {"MXC01 MD2 RF0145200000 TMFIRST=>", "MRC01=>",
       "MR=>MR MXC01 MP0 RF0145200000 ST012500 AU0 MD2 AT0 TMFIRST       ", "MXC50 RF0118100000=>?", "MW C90=>",
       "MW c=>MW C:90 c:10", "MQ=>", "MRC01=>?", "!signal 145.4 49=>", "MXA01 RF0145200000=>",
       "MXA02 RF0145400000 MP1=>", "MXA03 RF0145400000=>", "MSA=>", "~1000=>",
       "MR=>MR MXA03 MP0 RF0145400000 ST012500 AU0 MD1 AT0 TM            "},
  };
  for (std::size_t s = 0; s < scripts.size(); ++s) {
    FakeClock clock;
    Receiver receiver{clock};
    LineSettings line;
    for (const std::string& step : scripts[s]) {
      const std::string text = step.substr(0, step.find("=>")), answer = step.substr(step.find("=>") + 2);
      std::string got;
      if (text[0] == '!') {
        got = apply_directive(text.substr(1), receiver, line, clock.time);
      } else if (text[0] == '~') {
        for (const Millis end = clock.time + Millis{std::stoi(text.substr(1))}; clock.time < end;) {
          clock.time += Millis{10};
          got += joined(receiver.advance());
        }
      } else {
        got = joined(text == "up"     ? receiver.handle_key(kKeyUp)
                     : text == "down" ? receiver.handle_key(kKeyDown)
                                      : receiver.handle_command(text));
      }
      EXPECT_EQ(got, answer) << "script " << s << ": " << text;
    }
  }
}

}  // namespace
}  // namespace ar8600sim
