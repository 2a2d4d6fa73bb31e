#pragma once
// The program state: every variable that more than one area of the panel
// reads or writes, under one record. It lives for the whole run and is passed
// explicitly (inside Context) to every operation.

#include <array>
#include <cstdint>

#include "core/states.h"
#include "core/text.h"
#include "core/text_file.h"

namespace talvaro {

inline constexpr int bank_table_size = 420;  // cells of a bank table
inline constexpr int bank_file_lines = 400;  // cells a load or save touches
inline constexpr int key_queue_size = 20;    // integers in the key queue
inline constexpr int pass_list_size = 50;    // cells of the pass list (0 unused)
inline constexpr std::string_view end_marker = "9999";

using BankTable = std::array<Text, bank_table_size>;

struct State {
  // Start-up, configuration and shutdown.
  int running = 0;
  int quit_requested = 0;
  TextFile config_file;
  Text config_port_text;
  Text config_baud_text;
  int voice_enabled = 0;
  int debug_enabled = 0;
  Text version_text;
  Text banner_text;
  Text credit_text;

  // Receiver link.
  int com_port = 0;
  int com_baud = 0;
  int com_data_bits = 0;
  int com_parity = 0;
  int com_stop_bits = 0;
  Text command_text;
  Text reply_text;
  ConnectionState connection_state = ConnectionState::none;
  Text status_text;
  TextFile debug_file;
  Text log_line;

  // Window, keys and poll cycle.
  int event_code = 0;
  int event_param = 0;
  std::array<int, key_queue_size> key_queue{};
  int key_queue_length = 0;
  int key_held = 0;
  int last_key = 0;
  EntryMode entry_mode = EntryMode::none;
  Text bank_number_text;
  int frequency_entry_fresh = 0;
  int limit_entry_fresh = 0;
  MeterState meter_state = MeterState::idle;
  int signal_level = 0;
  int squelch_closed = 0;
  Text meter_scale;
  int space_pressed = 0;      // set for one dispatch when the key is Space
  int readback_attempts = 0;  // "RX" sent without an "RF" answer, this stop
  int level_polled = 0;       // 1 once a level poll was answered or went unanswered

  // Tuning and receiver settings.
  Text frequency_text;
  Text argument_text;
  std::int64_t frequency_hz = 0;
  Text mode_text;
  Text step_text;
  int attenuator_on = 0;
  int noise_limiter_on = 0;

  // Banks, scanning and search.
  BankTable bank_table;
  Text bank_file_name;
  TextFile bank_file;
  int bank_cell_index = 0;
  int bank_last_cell = 0;
  // 1 while bank_table holds the bank that select_bank loaded for bank mode;
  // every other load clears it.
  int selected_bank_loaded = 0;
  BankScanState bank_scan_state = BankScanState::off;
  ReceiverScanState receiver_scan_state = ReceiverScanState::off;
  Text scanned_bank_text;
  int scan_just_started = 0;
  int scan_voice_enabled = 0;
  int scan_resume_delay = 0;
  std::array<Text, pass_list_size> pass_list;
  int pass_list_count = 0;
  SearchState search_state = SearchState::off;
  SearchStopMode search_stop_mode = SearchStopMode::cont;
  int search_resume_count = 0;
  Text search_low_text;
  Text search_high_text;
  int found_count = 0;
  BankTable merge_table;

  // Voice.
  Text wave_path;
  Text pause_wave_path;
};

}  // namespace talvaro
