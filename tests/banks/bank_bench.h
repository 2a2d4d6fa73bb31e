#pragma once
// A bench connected to the receiver on port 1, with the state a running panel
// has after connection start, and bank file fixtures.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "link/serial.h"
#include "support/fakes.h"

namespace talvaro::testing {

using Entries = std::vector<std::pair<std::string, std::string>>;  // frequency, label

// The bytes of a bank file: header, entries, end marker.
inline std::string bank_file(const std::string& name, const std::string& mode, const std::string& step,
                             const Entries& entries) {
  std::string bytes = name + "\r\n" + mode + "\r\n" + step + "\r\n \r\n";
  for (const auto& [frequency, label] : entries) bytes += frequency + "\r\n" + label + "\r\n";
  return bytes + "9999\r\n";
}

// n entries 100.5, 101.5, ... labelled L0, L1, ...
inline Entries numbered_entries(int n) {
  Entries entries;
  for (int k = 0; k < n; ++k) entries.emplace_back(std::to_string(100 + k) + ".5", "L" + std::to_string(k));
  return entries;
}

struct BankBench : Bench {
  BankBench() {
    make_clips();
    prime_state();
    st.running = st.com_port = st.frequency_entry_fresh = 1;
    st.connection_state = ConnectionState::answered;
    st.scan_voice_enabled = st.pass_list_count = 1;
    EXPECT_EQ(open_port(*cx, 1, 9600), 1);
    st.status_text = ">";
    st.frequency_text = "145";
    st.mode_text = "FM";
    st.step_text = "12.5";
    st.bank_file_name = "bank00.dat";
    st.scanned_bank_text = "X";
  }
  // Runs a bank operation on the typed bank number.
  void run(void (*operation)(Context&), const std::string& number) {
    st.bank_number_text = number;
    operation(*cx);
  }
  // Presses the keys, then lets the poll cycle dispatch them all.
  void keys(std::initializer_list<int> codes) {
    for (const int code : codes) press(code);
    settle(400);
  }
  // Forgets what was said and sent so far.
  void forget() {
    audio.plays.clear();
    take_commands();
  }
  std::ptrdiff_t pauses() const {
    const auto all = audio.spoken(true);
    return std::count(all.begin(), all.end(), "shdel");
  }
};

}  // namespace talvaro::testing
