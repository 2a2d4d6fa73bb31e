// An hour of ticks and random keys against a receiver answering at random:
// the state's invariants hold after every tick (memory: the sanitizer build).

#include <gtest/gtest.h>

#include <random>

#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Answers;

TEST(Soak, AnHourOfTicksAndRandomKeysKeepsTheStateSound) {
  testing::Panel p(1, {{"bank05.dat", "bank05\r\nFM\r\n12.5\r\n \r\n145.5\r\n \r\n146\r\nTWO\r\n9999\r\n"},
                       {"bank06.dat", "bank06\r\nAM\r\n5\r\n \r\n9999\r\n"}});
  ASSERT_EQ(p.st.connection_state, ConnectionState::answered);
  std::mt19937 answers(20261206);
  p.script([&answers](const std::string& command) -> Answers {
    if (command == "LM") return {{answers() % 10 < 3 ? "LM 049\r\n" : "LM%000\r\n", 0}};
    if (command == "RX") return {{answers() % 4 == 0 ? "VS\r\n" : "VS RF0145512500 ST012500 AU0 MD1 AT0\r\n", 0}};
    if (command == "MR") return {{"MR MXA05 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMREPEATER\r\n", 0}};
    if (command.starts_with("MW"))
      return {{command.size() == 3 ? "MW " + command.substr(2) + ":50 a:50\r\n" : "\r\n", 0}};
    if (command.starts_with("MA")) return Answers(3, {"MXA00 MP0 RF0145500000 ST012500 AU0 MD2 AT0 TMTEST\r\n", 1});
    // Now and then junk instead of the empty line.
    if (answers() % 50 == 0) return {{std::string(1 + answers() % 40, static_cast<char>(answers() % 256)), 0}};
    return {{"\r\n", 0}};
  });
  // Every key the panel knows but Q, and some it does not.
  const std::vector<int> keys = {'0', '1', '4', '5', '6', '9', 46,  190, 13,  13,  13,  32,  33,  34,  37,  38,  39,
                                 40,  112, 113, 114, 115, 116, 117, 118, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I',
                                 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'R', 'S', 'T', 'W', 'X', 'Z', 16,  96,  255};
  std::mt19937 random(42);
  const State& st = p.st;
  for (int t = 0; t < 36000; ++t) {
    if (random() % 4 == 0) p.press(keys[random() % keys.size()]);
    p.tick();
    p.audio.plays.clear();
    p.display.draws.clear();
    ASSERT_EQ(st.running, 1) << "tick " << t;
    ASSERT_TRUE(st.key_queue_length >= 0 && st.key_queue_length <= key_queue_size) << t;
    ASSERT_TRUE(st.bank_cell_index >= 0 && st.bank_cell_index < bank_table_size) << t;
    ASSERT_TRUE(st.pass_list_count >= 1 && st.pass_list_count <= pass_list_size) << t;
    ASSERT_TRUE(st.meter_state >= MeterState::idle && st.meter_state <= MeterState::read_scan_stop) << t;
    ASSERT_TRUE(st.entry_mode >= EntryMode::none && st.entry_mode <= EntryMode::raw_command) << t;
    ASSERT_TRUE(st.found_count >= 0 && st.found_count <= 91) << t;
  }
}

}  // namespace
}  // namespace talvaro
