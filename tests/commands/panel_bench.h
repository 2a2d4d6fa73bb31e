#pragma once
// A bench whose panel stands where connection start leaves it (defaults
// restored, port open, receiver answering), for scenarios that drive keys and
// ticks through the whole core.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/context.h"
#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro::testing {

class PanelBench : public Bench {
 public:
  explicit PanelBench(int debug = 0) {
    prime_state();
    make_clips();
    st.running = 1;
    st.debug_enabled = debug;
    if (debug == 1) open_text_file(st.debug_file, "debug1.dat", "W");
    st.com_port = 1;
    open_port(*cx, 1, 9600);
    st.connection_state = 1;
    st.status_text = ">";
    st.frequency_text = "145.0";
    st.mode_text = "FM";
    st.step_text = "12.5";
    st.search_low_text = "145";
    st.search_high_text = "146";
    st.frequency_entry_fresh = 1;
    st.limit_entry_fresh = 1;
    st.meter_scale = std::string(18, '*');
    st.scan_voice_enabled = 1;
    st.pass_list_count = 1;
    st.scanned_bank_text = "X";
    st.bank_file_name = "bank00.dat";
    forget();
  }

  // Drops what has been recorded so far: commands, clips and draws.
  void forget() {
    take_commands();
    audio.plays.clear();
    display.draws.clear();
  }

  // Presses the keys and lets the poll cycle dispatch all of them.
  void type(std::initializer_list<int> keys) {
    for (int key : keys) {
      press(key);
      settle();
    }
  }
  void type(const std::string& keys) {
    for (char key : keys) type({static_cast<unsigned char>(key)});
  }

  // One level poll from the idle state: "LM" goes out, the reply comes back
  // and the scan and search decisions run on it.
  void poll(const std::string& reply) {
    ASSERT_EQ(st.meter_state, 0);
    ASSERT_EQ(st.key_queue_length, 0);
    tick();  // no key waits: on to the level poll
    tick();  // "LM"
    this->reply(reply);
    tick();  // the reply
  }

  // Loads a bank table from cells (the end marker included).
  void set_bank(std::initializer_list<const char*> cells) {
    std::size_t i = 0;
    for (const char* cell : cells) st.bank_table[i++] = cell;
  }

  std::string spoken() const { return audio.spoken_text(); }

  // The last draw whose top-left corner is at (x, y); an empty draw when
  // nothing was drawn there.
  DrawCall draw_at(int x, int y) const {
    const auto& draws = display.draws;
    auto it = std::find_if(draws.rbegin(), draws.rend(), [&](const DrawCall& d) { return d.x == x && d.y == y; });
    return it == draws.rend() ? DrawCall{} : *it;
  }
};

// Commands in the order sent, as one text: "VA0145.50000|ST012.50".
inline std::string joined(const std::vector<std::string>& commands) {
  std::string all;
  for (const auto& command : commands) {
    if (!all.empty()) all += "|";
    all += command;
  }
  return all;
}

}  // namespace talvaro::testing
