// The scenario and control directives.

#include <gtest/gtest.h>

#include "directives.h"
#include "sim_fakes.h"

namespace ar8600sim::testing {
namespace {

using namespace std::chrono_literals;

TEST(Directives, ScenarioSetsUpSignalsMemoryAndTiming) {
  Bench bench;
  LineSettings line;
  const std::string scenario =
      "\xEF\xBB\xBF# demo\r\n"
      "signal 145.5 49   # a repeater\r\n"
      "signal add 145.2125 30 start=1.5 stop=4\n"
      "memory A05 145.5 NFM \"REP # 5\" step=25\n"
      "memory a01 118.1 AM \"TOWER\" att pass\n"
      "bank-size A 60\nvfo-a 144\nvfo-b 146\nstep 25\nmode AM\n"
      "squelch 20\nsearch-rate 10\nscan-rate 4\nresume-delay 0.5\nresize-delay 0\n"
      "baud 19200\nlatency 15\nseed 42\n\n";
  EXPECT_TRUE(apply_scenario(scenario, bench.receiver, line).empty());

  const Timing& timing = bench.receiver.timing();
  EXPECT_EQ(std::tie(timing.search_interval, timing.scan_interval, timing.resume_delay, timing.resize_delay),
            std::tuple(100ms, 250ms, 500ms, 0ms));
  EXPECT_EQ(std::tie(line.baud, line.latency, line.seed), std::tuple(19200L, 15ms, 42u));
  EXPECT_EQ(bench.ask("MW A"), "MW A:60 a:40");
  EXPECT_EQ(bench.ask("RX"), "VA RF0144000000 ST025000 AU0 MD2 AT0");
  EXPECT_EQ(bench.send("MA A")[5], "MXA05 MP0 RF0145500000 ST025000 AU0 MD1 AT0 TMREP # 5     ");
  EXPECT_EQ(bench.send("MA a")[1], "MXa01 MP1 RF0118100000 ST012500 AU0 MD2 AT1 TMTOWER       ");

  bench.send("VA145.5");
  EXPECT_EQ(bench.ask("LM"), "LM 049");
  bench.send("VA145.2125");
  EXPECT_EQ(bench.ask("LM"), "LM%000") << "not yet";
  bench.wait(2s);
  EXPECT_EQ(bench.ask("LM"), "LM 030");
  bench.wait(2s);
  EXPECT_EQ(bench.ask("LM"), "LM%000") << "gone again";
}

TEST(Directives, ProblemsNameTheirLine) {
  Bench bench;
  LineSettings line;
  const auto problems = apply_scenario(
      "signal 145.5\nsquelch 300\nmemory K01 145.5\nwhatever 1\nmemory A01 145.5 \"open\n"
      "signal 145.5 49 on=2\nmemory A01 145.5 ONE TWO\nsearch-rate 0\n",
      bench.receiver, line);
  ASSERT_EQ(problems.size(), 8u);
  EXPECT_EQ(problems[0].substr(0, 8), "line 1: ");
  EXPECT_EQ(problems[3], "line 4: unknown directive 'whatever'");
  EXPECT_EQ(problems[4], "line 5: unclosed quote");
  EXPECT_EQ(problems[7].substr(0, 8), "line 8: ");
}

TEST(Directives, ControlSetsAndClearsFaultsAndSignals) {
  Bench bench;
  LineSettings line;
  auto apply = [&](std::string_view text) { return apply_directive(text, bench.receiver, line, 5s); };
  for (const char* fault : {"fault silence", "fault late 500", "fault bytewise 3", "fault garbage", "fault hangup 250"})
    EXPECT_EQ(apply(fault), "") << fault;
  const Faults& f = line.faults;
  EXPECT_EQ(std::tie(f.silence, f.late, f.bytewise, f.byte_gap, f.garbage), std::tuple(true, 500ms, true, 3ms, true));
  EXPECT_EQ(f.hangup_at, 5250ms) << "counted from now";
  EXPECT_NE(apply("fault late"), "");
  EXPECT_NE(apply("fault sometimes"), "");
  EXPECT_EQ(apply("fault none"), "");
  EXPECT_FALSE(line.faults.silence);
  EXPECT_FALSE(line.faults.hangup_at.has_value());

  bench.send("VA145.5");
  EXPECT_EQ(apply("signal add 145.5 49"), "");
  EXPECT_EQ(bench.ask("LM"), "LM 049");
  EXPECT_EQ(apply("signal remove 145.5"), "");
  EXPECT_EQ(bench.ask("LM"), "LM%000");
  apply("signal 145.5 49");
  EXPECT_EQ(apply("signal clear"), "");
  EXPECT_EQ(bench.ask("LM"), "LM%000");
}

}  // namespace
}  // namespace ar8600sim::testing
