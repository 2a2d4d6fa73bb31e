// One hour of poll ticks and random keys through the whole core, in virtual
// time, against a small scripted receiver. Checks the state's invariants after
// every tick; the sanitizer build checks memory and leaks.

#include <gtest/gtest.h>

#include <random>

#include "commands/keys.h"
#include "core/start/connection.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Bench;

// Answers what the panel sent in the last tick the way the receiver would,
// with a signal that comes and goes.
class ScriptedReceiver {
 public:
  explicit ScriptedReceiver(Bench& bench, unsigned seed) : bench_(bench), random_(seed) {}

  void answer() {
    for (const std::string& command : bench_.take_commands()) {
      if (command == "LM") {
        signal_ = (random_() % 10) < 3;
        bench_.reply(signal_ ? "LM 049\r\n" : "LM%000\r\n");
      } else if (command == "RX") {
        bench_.reply(random_() % 4 == 0 ? "VS\r\n" : "VS RF0145512500 ST012500 AU0 MD1 AT0\r\n");
      } else if (command == "MR") {
        bench_.reply("MR MXA05 MP0 RF0145500000 ST012500 AU0 MD1 AT0 TMREPEATER\r\n");
      } else if (command.rfind("MW", 0) == 0) {
        bench_.reply(command.size() == 3 ? "MW " + command.substr(2) + ":50 a:50\r\n" : "\r\n");
      } else if (command.rfind("MA", 0) == 0) {
        for (int i = 0; i < 3; ++i)
          bench_.reply("MXA0" + std::to_string(i) + " MP0 RF0145500000 ST012500 AU0 MD2 AT0 TMTEST\r\n");
      } else if (random_() % 50 == 0) {
        // Now and then junk, or nothing, instead of the empty line.
        bench_.reply(std::string(1 + random_() % 40, static_cast<char>(random_() % 256)));
      } else {
        bench_.reply("\r\n");
      }
    }
  }

 private:
  Bench& bench_;
  std::mt19937 random_;
  bool signal_ = false;
};

void check_invariants(const State& st) {
  ASSERT_GE(st.key_queue_length, 0);
  ASSERT_LE(st.key_queue_length, key_queue_size);
  ASSERT_GE(st.bank_cell_index, 0);
  ASSERT_LT(st.bank_cell_index, bank_table_size);
  ASSERT_GE(st.pass_list_count, 1);
  ASSERT_LE(st.pass_list_count, pass_list_size);
  ASSERT_GE(st.meter_state, MeterState::idle);
  ASSERT_LE(st.meter_state, MeterState::read_scan_stop);
  ASSERT_GE(st.entry_mode, EntryMode::none);
  ASSERT_LE(st.entry_mode, EntryMode::raw_command);
  ASSERT_GE(st.found_count, 0);
  ASSERT_LE(st.found_count, 91);
}

TEST(Soak, AnHourOfTicksAndRandomKeysKeepsTheStateSound) {
  Bench bench;
  bench.make_clips();
  bench.write_config();
  bench.prime_state();
  bench.st.debug_enabled = 1;
  open_text_file(bench.st.debug_file, "debug1.dat", "W");
  bench.write_file("bank05.dat", "bank05\r\nFM\r\n12.5\r\n \r\n145.5\r\n \r\n146\r\nTWO\r\n9999\r\n");
  bench.write_file("bank06.dat", "bank06\r\nAM\r\n5\r\n \r\n9999\r\n");
  bench.st.config_port_text = "COM1";
  bench.st.config_baud_text = "9600";
  connection_start(*bench.cx);
  bench.st.running = 1;

  ScriptedReceiver receiver(bench, 20261206);
  // Connect before any key: the first key before a reply ends the program.
  for (int i = 0; i < 10 && bench.st.connection_state != ConnectionState::answered; ++i) {
    bench.tick();
    receiver.answer();
  }
  ASSERT_EQ(bench.st.connection_state, ConnectionState::answered);

  // Every key the panel knows, and some it does not; Q is left out so the
  // program keeps running, the close request likewise.
  const std::vector<int> keys = {'0', '1', '4', '5', '6', '9', 46,  190, 13,  13,  13,  32,  33,  34,  37,  38,  39,
                                 40,  112, 113, 114, 115, 116, 117, 118, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I',
                                 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'R', 'S', 'T', 'W', 'X', 'Z', 16,  96,  255};
  std::mt19937 random(42);
  constexpr int hour_of_ticks = 36000;
  for (int t = 0; t < hour_of_ticks; ++t) {
    if (random() % 4 == 0) bench.press(keys[random() % keys.size()]);
    bench.tick();
    receiver.answer();
    bench.audio.plays.clear();
    bench.display.draws.clear();
    ASSERT_EQ(bench.st.running, 1) << "tick " << t;
    check_invariants(bench.st);
    if (::testing::Test::HasFatalFailure()) FAIL() << "tick " << t;
  }
}

}  // namespace
}  // namespace talvaro
