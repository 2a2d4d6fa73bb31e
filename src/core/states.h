#pragma once
// The named states of the panel's state machines and modes, kept in the
// state record (core/state.h). The numbers are those the state record has
// always held; code compares and assigns them only by name.

#include <type_traits>

namespace talvaro {

// The receiver link (connection_state).
enum class ConnectionState : int {
  unanswered = -1,  // from connection start until the receiver first answers
  none = 0,         // before connection start, or given up (the program ends)
  answered = 1,     // the receiver has answered
};

// The step of the poll cycle (meter_state).
enum class MeterState : int {
  idle = 0,            // dispatch a waiting key, or go on to poll the level
  ask_level = 1,       // send "LM"
  read_level = 2,      // read the level, draw the bar, follow scans and search
  ask_frequency = 3,   // send "RX" after a search stopped on a signal
  read_frequency = 4,  // read the frequency of the search stop
  hold = 5,            // one tick of delay after a receiver-scan stop
  read_scan_stop = 6,  // show where the receiver scan stopped
};

// The pending command that typed characters belong to (entry_mode),
// completed by Enter.
enum class EntryMode : int {
  none = 0,           // frequency entry
  low_limit = 1,      // S
  high_limit = 2,     // E
  step = 3,           // I
  transfer = 4,       // T
  put = 5,            // P
  sort = 6,           // O
  select = 7,         // B
  receiver_scan = 8,  // G
  write = 9,          // W
  delete_file = 10,   // D
  kill = 11,          // K
  raw_command = 12,   // X, with the debug log on
};

// The program's own scan over a loaded bank (bank_scan_state). From started
// on the scan runs.
enum class BankScanState : int {
  off = 0,        // no bank mode
  bank_mode = 1,  // a bank selected for browsing and editing, not scanning
  started = 2,    // scanning, "*** SCANNING ***" not shown yet
  scanning = 3,   // "*** SCANNING ***" shown
  stopped = 4,    // stopped on a signal, "*** STOPPED ***" shown
};

// The receiver's own memory scan (receiver_scan_state). From started on the
// scan runs.
enum class ReceiverScanState : int {
  off = 0,       // no receiver memory scan
  started = 1,   // started or restarted, "*** SCANNING ***" not shown yet
  scanning = 2,  // "*** SCANNING ***" shown
  stopped = 3,   // stopped on a signal, "*** STOPPED ***" shown
};

// The receiver's frequency search (search_state).
enum class SearchState : int {
  off = 0,        // no search
  searching = 1,  // searching
  stopped = 2,    // stopped on a signal
};

// What a search does when it stops on a signal (search_stop_mode).
enum class SearchStopMode : int {
  cont = 0,  // "CONT": it resumes after a few cycles
  stop = 1,  // "STOP": it stays until the signal goes
};

// The number a state has always had, for a log line or a check that wants it.
template <typename E>
constexpr std::underlying_type_t<E> to_underlying(E value) {
  return static_cast<std::underlying_type_t<E>>(value);
}

}  // namespace talvaro
