// The receiver model on a fake clock: search, memory scan, memory banks,
// level reports and the parameter forms the receiver accepts.

#include <gtest/gtest.h>

#include <set>

#include "protocol.h"
#include "receiver.h"
#include "sim_fakes.h"

namespace ar8600sim::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

Signal carrier(std::int64_t hz, int level, std::optional<Millis> stop = std::nullopt) {
  Signal signal;
  signal.hz = hz;
  signal.level = level;
  signal.stop = stop;
  return signal;
}

// The channel named in an RX reply of memory or memory scan ("A03").
std::string channel_of(const std::string& rx) { return rx.size() >= 8 ? rx.substr(5, 3) : ""; }

void store(Bench& bench, const Strings& commands) {
  for (const auto& command : commands) ASSERT_EQ(bench.send(command), Strings{""}) << command;
}

TEST(ReceiverSearch, StopsOnASignalStaysWhileItLastsAndResumes) {
  Bench bench;
  bench.receiver.add_signal(carrier(145'500'000, 49, 30s));
  store(bench, {"VA0145000000", "VB0146000000", "VS"});

  // 40 steps of 12.5 kHz at 20 a second reach the signal after 2 s.
  bench.wait(1950ms);
  EXPECT_FALSE(bench.receiver.stopped());
  bench.wait(50ms);
  EXPECT_TRUE(bench.receiver.stopped());
  bench.wait(10s);
  EXPECT_EQ(bench.ask("RX"), "VS RF0145500000 ST012500 AU0 MD1 AT0");

  // The up key resumes at once; the next sweep stops on the signal again.
  EXPECT_EQ(bench.key(kKeyUp), Strings{""});
  EXPECT_EQ(bench.frequency(), "0145512500");
  bench.wait(5s);
  EXPECT_TRUE(bench.receiver.stopped());

  // The signal ends at 30 s; the search goes on 2 s later.
  bench.wait(31'990ms - bench.clock.time);
  EXPECT_TRUE(bench.receiver.stopped());
  bench.wait(20ms);
  EXPECT_FALSE(bench.receiver.stopped());
  EXPECT_EQ(bench.frequency(), "0145512500");
}

TEST(ReceiverSearch, ResumeDelayZeroAndWrapFromVfoBToVfoA) {
  Bench bench;
  bench.receiver.timing().resume_delay = 0ms;
  bench.receiver.add_signal(carrier(145'012'500, 49, 500ms));
  store(bench, {"VB0145050000", "VS"});
  bench.wait(400ms);
  EXPECT_EQ(bench.frequency(), "0145012500");
  bench.wait(100ms);
  EXPECT_FALSE(bench.receiver.stopped()) << "resumes as soon as the signal goes";
  EXPECT_EQ(bench.frequency(), "0145025000");
  bench.wait(100ms);
  EXPECT_EQ(bench.frequency(), "0145050000");
  bench.wait(50ms);
  EXPECT_EQ(bench.frequency(), "0145000000");
}

TEST(ReceiverSearch, QueriesKeepItAndSetCommandsEndIt) {
  Bench bench;
  bench.send("VS");
  for (const char* query : {"LM", "RX", "ST", "MD", "MW A", "MA A", "VR", "LC1"}) {
    bench.send(query);
    EXPECT_EQ(bench.receiver.activity(), Receiver::Activity::search) << query;
  }
  EXPECT_EQ(bench.send("VA9999.0"), Strings{"?"}) << "refused: the search goes on";
  EXPECT_EQ(bench.receiver.activity(), Receiver::Activity::search);
  EXPECT_EQ(bench.send("MD2"), Strings{""});
  EXPECT_EQ(bench.ask("RX"), "VA RF0145000000 ST012500 AU0 MD2 AT0");
}

TEST(ReceiverReports, LcReportsOpeningsAndClosingsOrContinuously) {
  Bench bench;
  bench.receiver.add_signal(carrier(145'500'000, 49));
  Signal late = carrier(145'600'000, 30);
  late.start = 1s;
  bench.receiver.add_signal(late);
  EXPECT_EQ(bench.send("LC1"), Strings{""});
  EXPECT_EQ(bench.send("VA0145.50000"), (Strings{"", "LC049 VA RF0145500000"}));
  EXPECT_EQ(bench.send("VA0145.60000"), (Strings{"", "LC%000 VA"}));
  EXPECT_EQ(bench.wait(1500ms), Strings{"LC030 VA RF0145600000"});
  EXPECT_EQ(bench.send("VA0145.0"), (Strings{"", "LC%000 VA"}));
  bench.send("MXA05 RF0145500000 TMREPEATER");
  EXPECT_EQ(bench.send("MRA05"), (Strings{"", "LC049 MXA05 RF0145500000"}));
  store(bench, {"LC0", "VA0145.0"});

  bench.send("LC2");
  const Strings reports = bench.wait(1s);
  EXPECT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports.front(), "LC%000 VA");
}

TEST(ReceiverReports, LevelFollowsBandwidthAttenuatorAndSquelch) {
  Bench bench;
  bench.receiver.add_signal(carrier(145'500'000, 25));
  bench.send("VA0145.504");
  EXPECT_EQ(bench.ask("LM"), "LM 025") << "4 kHz off is within NFM";
  bench.send("MD3");
  EXPECT_EQ(bench.ask("LM"), "LM%000") << "but not within USB";
  store(bench, {"MD1", "AT1"});
  EXPECT_EQ(bench.ask("LM"), "LM%005") << "20 off for the attenuator, below the squelch";
  bench.receiver.set_squelch(4);
  EXPECT_EQ(bench.ask("LM"), "LM 005");
}

TEST(ReceiverCommands, VaTakesHertzOrMegahertzRoundedTo50Hz) {
  Bench bench;
  const std::pair<const char*, const char*> forms[] = {{"VA0145500000", "0145500000"},  {"VA0145.50000", "0145500000"},
                                                       {"VA 145.5", "0145500000"},      {"VA0145.51237", "0145512350"},
                                                       {"VA0145.512375", "0145512400"}, {"VA0145512374", "0145512350"},
                                                       {"VA2040.0", "2040000000"}};
  for (const auto& [form, hz] : forms) {
    EXPECT_EQ(bench.send(form), Strings{""}) << form;
    EXPECT_EQ(bench.frequency(), hz) << form;
  }
  EXPECT_EQ(bench.send("VB0000.1"), Strings{""});
  EXPECT_EQ(bench.ask("RX"), "VB RF0000100000 ST012500 AU0 MD1 AT0");
  for (const char* refused : {"VB2040", "VA0000.0999", "VA2040.1", "VA145", "VA14550000", "VA0145.5.0", "VA-145.5",
                              "VAabc", "VA0000099949", "RF3000000000"}) {
    EXPECT_EQ(bench.send(refused), Strings{"?"}) << refused;
  }
  EXPECT_EQ(bench.ask("RX"), "VB RF0000100000 ST012500 AU0 MD1 AT0");
}

TEST(ReceiverCommands, ParametersKeysAndRefusals) {
  Bench bench;
  for (const auto& [set, query, answer] : {std::tuple{"ST012.50", "ST", "ST012500"},
                                           {"ST8.33", "ST", "ST008330"},
                                           {"MD8", "MD", "MD8"},
                                           {"AT1", "AT", "AT1"},
                                           {"NL1", "VR", "VR0101"}}) {
    EXPECT_EQ(bench.send(set), Strings{""}) << set;
    EXPECT_EQ(bench.ask(query), answer) << set;
  }
  for (const char* refused :
       {"ST12500", "ST000000", "ST1000.0", "MD9", "MDx", "AU2", "NL5", "LC3", "XY", "lm", "L", "LM1"}) {
    EXPECT_EQ(bench.send(refused), Strings{"?"}) << refused;
  }
  EXPECT_EQ(bench.receiver.handle_overlong(), (Replies{{"?"}}));

  store(bench, {"VA0145.0", "ST025000"});
  EXPECT_EQ(bench.key(kKeyUp), Strings{""});
  EXPECT_EQ(bench.frequency(), "0145025000");
  bench.key(kKeyDown);
  bench.key(kKeyDown);
  EXPECT_EQ(bench.frequency(), "0144975000");

  EXPECT_TRUE(bench.receiver.remote());
  EXPECT_EQ(bench.send("EX"), Strings{});
  EXPECT_FALSE(bench.receiver.remote());
}

TEST(ReceiverMemory, MaPagesInTensWithBlankChannels) {
  Bench bench;
  store(bench, {"MXA03 RF0145500000 TMONE", "MXA12 RF0145600000 MD2 TMTWO"});
  const Strings first = bench.send("MA A");
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(first[3], "MXA03 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMONE         ");
  EXPECT_EQ(first[9], "MXA09 ---");
  EXPECT_EQ(bench.send("MA").at(2), "MXA12 MP0 RF0145600000 ST012500 AU0 MD2 AT0 TMTWO         ");
  for (int block = 3; block <= 5; ++block) EXPECT_EQ(bench.send("MA").size(), 10u) << block;
  EXPECT_EQ(bench.send("MA"), Strings{"?"}) << "past the bank";

  store(bench, {"MW A15"});
  EXPECT_EQ(bench.send("MAA").size(), 10u);
  const Strings last = bench.send("MA");
  ASSERT_EQ(last.size(), 5u) << "the bank now ends at A14";
  EXPECT_EQ(last[4], "MXA14 ---");
}

TEST(ReceiverMemory, MxFieldsInAnyOrderShowInMa) {
  Bench bench;
  store(bench, {"MXB07 MD2 AT1 ST005000 RF0118100000 MP1 AU0 TMTOWER  CALL", "MXB08 TMA VERY LONG NAME HERE",
                "MXB09 RF0118.1"});
  const Strings block = bench.send("MAB");
  ASSERT_EQ(block.size(), 10u);
  EXPECT_EQ(block[7], "MXB07 MP1 RF0118100000 ST005000 AU0 MD2 AT1 TMTOWER  CALL ");
  EXPECT_EQ(block[8].substr(block[8].size() - 14), "TMA VERY LONG ");
  EXPECT_EQ(block[9], "MXB09 MP0 RF0118100000 ST012500 AU0 MD1 AT0 TM            ");
  for (const char* refused : {"MXB50 RF0118100000", "MXB07 XX1", "MXK07", "MXB07 MD9", "MXB7", "MXB07 RF1"}) {
    EXPECT_EQ(bench.send(refused), Strings{"?"}) << refused;
  }
  EXPECT_EQ(bench.send("MAB")[7], block[7]) << "a refused write changes nothing";
}

TEST(ReceiverMemory, ResizeKeepsEachPairAt100AndDropsWhatNoLongerFits) {
  Bench bench;
  store(bench, {"MXa15 RF0433000000 TMLPD", "MXa05 RF0433100000", "MXA40 RF0145500000"});
  EXPECT_EQ(bench.receiver.handle_command("MW A90"), (Replies{{"", 1000ms}}));
  EXPECT_EQ(bench.ask("MW A"), "MW A:90 a:10");
  EXPECT_EQ(bench.ask("MW a"), "MW A:90 a:10");
  EXPECT_EQ(bench.ask("MW C"), "MW C:50 c:50");
  EXPECT_EQ(bench.send("MRa15"), Strings{"?"});
  store(bench, {"MRa05", "MRA40", "MW a60"});
  EXPECT_EQ(bench.ask("MW A"), "MW A:40 a:60");
  EXPECT_EQ(bench.send("MRA40"), Strings{"?"});
  EXPECT_EQ(bench.receiver.activity(), Receiver::Activity::vfo_a) << "the recalled channel went with its bank";
  for (const char* refused : {"MW A09", "MW A91", "MW K50", "MW", "MW A5"}) {
    EXPECT_EQ(bench.send(refused), Strings{"?"}) << refused;
  }
  EXPECT_EQ(bench.ask("MW A"), "MW A:40 a:60");
}

TEST(ReceiverMemory, MrRecallsMqDeletes) {
  Bench bench;
  EXPECT_EQ(bench.send("MR"), Strings{"?"}) << "the current channel is blank";
  EXPECT_EQ(bench.send("MQ"), Strings{"?"}) << "not in memory mode";
  store(bench, {"MXC01 RF0145200000 TMFIRST", "MXC02 RF0145300000", "MRC01"});
  EXPECT_EQ(bench.ask("MR"), "MR MXC01 MP0 RF0145200000 ST012500 AU0 MD1 AT0 TMFIRST       ");
  EXPECT_EQ(bench.key(kKeyUp), Strings{""});
  EXPECT_EQ(channel_of(bench.ask("RX")), "C02") << "the up key goes to the next channel";
  EXPECT_EQ(bench.send("MQ"), Strings{""});
  EXPECT_EQ(bench.receiver.activity(), Receiver::Activity::vfo_a);
  EXPECT_EQ(bench.send("MRC02"), Strings{"?"});
  store(bench, {"MQC%%"});
  EXPECT_EQ(bench.send("MRC01"), Strings{"?"}) << "the whole bank went";
}

TEST(ReceiverScan, SkipsPassedChannelsAndRefusesWhenAllArePassed) {
  Bench bench;
  store(bench, {"MXA01 RF0145200000", "MXA02 RF0145300000", "MXA03 RF0145400000", "MRA02", "MP1", "MS A"});
  std::set<std::string> visited;
  for (int tick = 0; tick < 40; ++tick) {
    bench.wait(25ms);
    const std::string rx = bench.ask("RX");
    EXPECT_EQ(rx.substr(0, 3), "MS ");
    visited.insert(channel_of(rx));
  }
  EXPECT_EQ(visited, (std::set<std::string>{"A01", "A03"}));

  store(bench, {"MRA01", "MP1", "MRA03", "MP1"});
  EXPECT_EQ(bench.send("MSA"), Strings{"?"});
  EXPECT_EQ(bench.send("MSC"), Strings{"?"}) << "a blank bank";
  bench.send("VA");
  EXPECT_EQ(bench.send("MP0"), Strings{"?"}) << "outside memory mode";
}

TEST(ReceiverScan, StopsOnASignalUpKeyOrMsResumesMrRecalls) {
  Bench bench;
  bench.receiver.add_signal(carrier(145'400'000, 49));
  store(bench,
        {"MXA01 RF0145200000", "MXA02 RF0145300000", "MXA03 RF0145400000 TMBUSY", "MXA04 RF0145500000", "LC1", "MSA"});
  EXPECT_EQ(bench.wait(1s), Strings{"LC049 MXA03 RF0145400000"});
  EXPECT_TRUE(bench.receiver.stopped());
  EXPECT_EQ(bench.ask("RX").substr(0, 8), "MS MXA03");
  bench.key(kKeyUp);
  EXPECT_FALSE(bench.receiver.stopped());
  EXPECT_EQ(channel_of(bench.ask("RX")), "A04");
  bench.wait(1s);
  EXPECT_EQ(channel_of(bench.ask("RX")), "A03") << "stopped there again";

  EXPECT_EQ(bench.ask("MR"), "MR MXA03 MP0 RF0145400000 ST012500 AU0 MD1 AT0 TMBUSY        ");
  EXPECT_EQ(bench.receiver.activity(), Receiver::Activity::memory);
  bench.wait(1s);
  EXPECT_EQ(bench.ask("RX").substr(0, 8), "MR MXA03");

  EXPECT_EQ(bench.send("MP1"), Strings{""});
  EXPECT_EQ(bench.send("MS"), (Strings{"", "LC%000 MXA04"}));
  for (int tick = 0; tick < 20; ++tick) {
    bench.wait(30ms);
    EXPECT_NE(channel_of(bench.ask("RX")), "A03");
  }
  EXPECT_FALSE(bench.receiver.stopped());
}

TEST(ReceiverSignals, KeyedSignalsComeAndGo) {
  Signal keyed = carrier(145'000'000, 40, 9s);
  keyed.start = 1s;
  keyed.on = 2s;
  keyed.off = 3s;
  std::string pattern;
  for (Millis at = 0s; at < 10s; at += 500ms) pattern += keyed.active_at(at) ? '#' : '.';
  EXPECT_EQ(pattern, "..####......####....");
  EXPECT_EQ(keyed.next_change_after(3s), 6s);
  EXPECT_EQ(keyed.next_change_after(9s), std::nullopt);
}

}  // namespace
}  // namespace ar8600sim::testing
