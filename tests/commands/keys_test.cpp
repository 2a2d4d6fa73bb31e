// Keys from the event to the receiver, the voice and the panel.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "commands/keys.h"
#include "panel/poll/events.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::bank_file;
using testing::Panel;
constexpr int shift = 16;

TEST(KeyEvents, QueueingHeldKeysShiftAndAFullQueue) {
  Panel p;
  handle_event(*p.cx, 5, 77);  // no event of ours
  EXPECT_EQ(p.st.key_queue_length, 0);
  // Auto-repeat while held queues the key once, with its receive marker.
  for (int i = 0; i < 3; ++i) handle_event(*p.cx, event_key_down, '1');
  handle_event(*p.cx, event_key_up, 0);
  EXPECT_EQ(std::tuple(p.st.key_queue_length, p.st.key_queue[0], p.st.key_queue[1]), std::tuple(2, '1', 0));
  // Shift held while a letter is pressed: only Shift is queued.
  handle_event(*p.cx, event_key_down, shift);
  handle_event(*p.cx, event_key_down, 'A');
  handle_event(*p.cx, event_key_up, 0);
  handle_event(*p.cx, event_key_up, 0);
  EXPECT_EQ(std::tuple(p.st.key_queue_length, p.st.key_queue[2]), std::tuple(4, shift));
  // A full queue drops further presses until entries are taken.
  for (int i = 0; i < 10; ++i) p.press('0' + i);
  EXPECT_EQ(std::tuple(p.st.key_queue_length, p.st.key_queue[18], p.st.key_held), std::tuple(20, '7', 0));
  // Q is never dropped: it takes the place of the last key, once.
  p.press('Q');
  p.press('Q');
  EXPECT_EQ(std::tuple(p.st.key_queue[16], p.st.key_queue[18]), std::tuple('6', 'Q'));
  p.tick(2);
  p.press('C');
  EXPECT_EQ(std::tuple(p.st.key_queue_length, p.st.key_queue[18]), std::tuple(20, 'C'));
  handle_event(*p.cx, event_close, 0);
  EXPECT_EQ(p.st.running, 0);
}

TEST(Dispatch, KeysWaitTheirTurnAndNoLevelPollWhileOneWaits) {
  Panel p;
  for (int key : {int{'1'}, int{'4'}, int{'5'}, key::full_stop, int{'5'}, key::enter}) p.press(key);
  EXPECT_EQ(p.st.key_queue_length, 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(p.st.meter_state, MeterState::idle);
    p.tick();
  }
  // Enter cleared the lower panel.
  EXPECT_EQ(std::tuple(p.st.key_queue_length, p.spoken() + " " + p.sent(), p.at(300, 150).text, p.at(300, 150).colour,
                       p.at(0, 350).text, p.at(0, 350).font),
            std::tuple(0, "1 4 5 point 5 ok VA0145.50000|ST012.50", "145.5", colour_blue, std::string(80, ' '),
                       FontSpec{"Ariel", 70, 700}));
  // Three ticks per level poll, then keys again.
  p.forget();
  p.tick(2);
  EXPECT_EQ(p.sent(), "LM");
  p.press('1');
  p.tick();
  p.press(key::point);
  p.press('6');
  p.settle();
  EXPECT_EQ(p.spoken() + " " + p.st.frequency_text.str(), "1 point 6 1.6");
}

TEST(Dispatch, AKeyWaitsForTheFirstLevelPollAndEndsTheProgramOnlyWhenItWentUnanswered) {
  for (int key : {key::space, int{'1'}}) {
    Panel p(1, {}, false);
    p.level = "";
    p.keys({key});
    // "LM" goes out first; Space sends its byte before the connection check.
    EXPECT_EQ(p.sent() + " " + p.spoken(), key == key::space ? "LM|<RS> rnc" : "LM rnc");
    EXPECT_EQ(std::tuple(p.st.running, p.st.connection_state, p.st.frequency_text.str()),
              std::tuple(0, ConnectionState::none, "145.0"));
    close_text_file(p.st.debug_file);
    EXPECT_TRUE(p.read_file("debug1.dat").ends_with(key == key::space ? "TX= LM\r\n**SPC\r\n" : "TX= LM\r\n**1\r\n"));
  }
  // A key pressed during the greeting is carried out once the first poll is answered.
  Panel p(0, {}, false);
  p.press('1');
  p.tick(2);
  EXPECT_EQ(p.sent(), "LM");
  p.settle();
  EXPECT_EQ(p.spoken() + " " + p.st.frequency_text.str() + decimal(p.st.running), "connected 1 11");
}

TEST(Dispatch, TheLogEchoesKeysAndXSendsATypedCommandShowingTheAnswerAsRead) {
  Panel p(1);
  p.type("p^{1.\n#");
  p.replies["VR"] = "VR0101\r\n";  // the answer comes while the pause plays
  p.forget();
  p.type("XVR\n");
  EXPECT_EQ(std::tuple(p.sent(), p.at(0, 0).text, p.at(0, 0).font, p.spoken(), p.st.entry_mode),
            std::tuple("VR", "TX=VR RX=VR0101\r\n" + std::string(22, ' '), FontSpec{"ARIEL", 10, 700}, "test",
                       EntryMode::none));
  close_text_file(p.st.debug_file);
  const std::string log = p.read_file("debug1.dat");
  for (const char* echo : {"**p\r\n", "**&\r\n", "**!\r\n", "**.\r\n", "**C/R\r\n", "**\x10\r\n"})
    EXPECT_NE(log.find(echo), std::string::npos) << echo;
  // With the log off X is no command; Q carries out the pending command and ends.
  Panel quiet;
  quiet.write_file("bank05.dat", "x\r\n");
  quiet.type("XD05Q");
  EXPECT_EQ(std::tuple(quiet.spoken(), quiet.exists("bank05.dat"), quiet.st.running),
            std::tuple("delete 0 5 ok", false, 0));
}

// Where the panel stands before the keys.
using Situation = std::function<void(Panel&)>;
const Situation idle = [](Panel&) {};
const Situation started = [](Panel& p) { p.st.receiver_scan_state = ReceiverScanState::started; };
const Situation scanning = [](Panel& p) { p.st.receiver_scan_state = ReceiverScanState::scanning; };
const Situation stopped = [](Panel& p) { p.st.receiver_scan_state = ReceiverScanState::stopped; };
const Situation bank_mode = [](Panel& p) {
  p.write_file("bank05.dat", bank_file("Bank05", "FM", "12.5", {{"145.5", "One"}, {"146", "Two"}}));
  p.type("B05\n");
  p.forget();
};
const Situation bank_scan = [](Panel& p) {
  bank_mode(p);
  p.st.bank_scan_state = BankScanState::scanning;
};

TEST(CommandKeys, KeysInEachSituation) {
  struct Case {
    Situation setup;
    std::string keys, spoken, sent;
  };
  // clang-format off
  const std::vector<Case> cases = {
      // Keys from the middle of the table leave a just started receiver scan; Space, W, early rows keep it.
      {started, "#", "exitscan", ""},
      {started, ">", "exitscan", "VA0145.00010"},
      {started, "~", "", "<RS>"},
      {started, "HMSFW", "help s 0 start scan write fromb", ""},
      {scanning, "#", "", ""},
      // F: the frequency and the mode, or "scan" while something sweeps.
      {idle, "F", "1 4 5 point 0 fm", ""},
      {stopped, "F", "1 4 5 point 0", ""},
      {scanning, "F", "scan", ""},
      {bank_scan, "F", "scan", ""},
      // Toggles, the function keys ("u" is F6) and help.
      {idle, "CCNN", "stmode cont svoice off svoice on", ""},
      {idle, "uH", "cw help", "MD5"},
      // In a receiver bank entry A to J are banks, a digit is only spoken, other keys drop it.
      {idle, "GDJ5K", "radbank d j 5 inv", ""},
      // Limits and step: nothing typed speaks the value; the step is sent at Enter.
      {idle, "S\n", "start 1 4 5", ""},
      {idle, "S14E150\n", "start 1 4 end 1 5 0 ok", ""},
      {idle, "I\nI5\n", "incr 1 2 point 5 incr 5 ok", "ST012.50|ST005000"},
      // Tuning keys, refused in a search or receiver scan, and in a bank scan all but Up and Down.
      {idle, "{<_", "", "VA0145.01250|VA0145.01240|VA0145.01140"},
      {[](Panel& p) { p.st.search_state = SearchState::searching; }, "^", "inv", ""},
      {stopped, "_", "inv", ""},
      {bank_scan, "^_<>{}", "inv inv inv inv", "VA0145.50100|VA0145.50000"},
      // The first digit after a tuning key starts a new frequency.
      {idle, "145^146\n", "1 4 5 1 4 6 ok", "VA0145.00100|VA0146000000|ST012.50"},
      {idle, "145}146\n", "1 4 5 1 4 6 ok", "VA0144.98750|VA0146000000|ST012.50"},
      {bank_mode, "_147\n", "1 4 7 ok", "VA0146000000|VA0147000000|ST012.50"},
      // A refused R (the table replaced by a put) also ends the pending entry.
      {bank_mode, "P06\nSR144\n", "put 0 6 bnf create 0 6 ok start inv 1 4 4 ok", "VA0144000000|ST012.50"},
      // K outside bank mode does nothing; D is taken only with nothing pending.
      {idle, "KBDSD", "bank start delete", ""},
      // Digits are ignored during a bank scan; Q with nothing pending tunes.
      {bank_scan, "1,", "", ""},
      {idle, "Q", "quit", "VA0145.00000|ST012.50"},
      // Write: two digits, then a receiver bank letter clears it, only for a bank with entries.
      {idle, "W01C", "write fromb 0 1 torb c", "MQC%%"},
      {idle, "W012", "write fromb 0 1 torb 2 inv", ""},
      {idle, "W01Z", "write fromb 0 1 torb inv", ""},
      {idle, "W02C", "write fromb 0 2 torb inv", ""},
      {idle, "W04C", "write fromb 0 4 torb bnf inv", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    Panel p;
    p.write_file("bank01.dat", bank_file("Bank01", "FM", "12.5", {{"145.5", "One"}}));
    p.write_file("bank02.dat", bank_file("Bank02", "FM", "12.5", {}));
    c.setup(p);
    p.type(c.keys);
    EXPECT_EQ(p.spoken() + " / " + p.sent(), c.spoken + " / " + c.sent) << c.keys;
  }
}

}  // namespace
}  // namespace talvaro
