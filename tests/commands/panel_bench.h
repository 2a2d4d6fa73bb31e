#pragma once
// A bench standing where connection start leaves the panel (defaults set, port
// open, receiver answering), for scenarios that drive keys and ticks through
// the whole core.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

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
    st.connection_state = ConnectionState::answered;
    st.status_text = ">";
    st.frequency_text = "145.0";
    st.mode_text = "FM";
    st.step_text = "12.5";
    st.search_low_text = "145";
    st.search_high_text = "146";
    st.frequency_entry_fresh = st.limit_entry_fresh = 1;
    st.meter_scale = std::string(18, '*');
    st.scan_voice_enabled = st.pass_list_count = 1;
    st.scanned_bank_text = "X";
    st.bank_file_name = "bank00.dat";
    forget();
  }
  void forget() {
    take_commands();
    audio.plays.clear();
    display.draws.clear();
  }
  // Presses each key and lets the poll cycle dispatch it.
  void type(std::initializer_list<int> keys) {
    for (int key : keys) press(key), settle();
  }
  // One level poll from idle: "LM" out, the reply in, the decisions run.
  void poll(const std::string& reply) {
    ASSERT_EQ(st.meter_state, MeterState::idle);
    ASSERT_EQ(st.key_queue_length, 0);
    tick(2);
    this->reply(reply);
    tick();
  }
  void set_bank(std::initializer_list<const char*> cells) {
    std::size_t i = 0;
    for (const char* cell : cells) st.bank_table[i++] = cell;
  }
  std::string spoken() const { return audio.spoken_text(); }
  // Commands sent since the last call, joined: "VA0145.50000|ST012.50".
  std::string sent() {
    std::string all;
    for (const auto& command : take_commands()) all += (all.empty() ? "" : "|") + command;
    return all;
  }
  // The last draw at (x, y), or an empty one.
  DrawCall draw_at(int x, int y) const {
    auto it = std::find_if(display.draws.rbegin(), display.draws.rend(),
                           [&](const DrawCall& d) { return d.x == x && d.y == y; });
    return it == display.draws.rend() ? DrawCall{} : *it;
  }
};

}  // namespace talvaro::testing
