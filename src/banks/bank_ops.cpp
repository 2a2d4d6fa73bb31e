#include "banks/bank_ops.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "banks/bank_file.h"
#include "core/context.h"
#include "core/files.h"
#include "core/text.h"
#include "panel/display.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

// The last cell an entry operation may touch: the spare room after the 400
// lines a file can hold ends here.
constexpr int last_table_cell = bank_table_size - 1;
// Entries the bank operations are built for: end marker at cell 186 at the latest.
constexpr int last_merge_end = 186;
constexpr int first_entry = 4;

Text& cell(BankTable& table, int index) { return table[static_cast<std::size_t>(index)]; }
const Text& cell(const BankTable& table, int index) { return table[static_cast<std::size_t>(index)]; }

bool is_end(const Text& text) { return text == end_marker; }

// The end marker of a bank that has entries, or -1 for a bank without any.
int entries_end(const Context& cx) { return bank_has_entries(cx) ? find_end_marker(cx) : -1; }

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A bank number typed for select, sort, put and copy: two or four digits.
bool bank_number_ok(const Text& number) { return (number.size() == 2 || number.size() == 4) && all_digits(number); }

std::string bank_name_for(std::string_view digits) { return cat("bank", digits, ".dat"); }

void refuse(Context& cx) {
  say(cx, "inv");
  cx.st.entry_mode = EntryMode::none;
}

// Tunes the current entry; one that cannot be tuned gets "inv" instead.
void tune_current_entry(Context& cx) {
  State& st = cx.st;
  if (!bank_entry_usable(cx, st.bank_cell_index)) {
    say(cx, "inv");
    return;
  }
  st.frequency_text = cell(st.bank_table, st.bank_cell_index);
  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
}

// "ok" once the file is in place, "inv" when the save failed.
void say_saved(Context& cx, bool saved) { say(cx, saved ? "ok" : "inv"); }

// The label line under the frequency, in green.
void select_label_line(Context& cx) {
  move_to(cx, layout::bank_label);
  set_font(cx, layout::normal);
  set_colour(cx, colour_green);
}

// Cells from..end move up by one entry: cell j = cell j + 2 until the end
// marker has been copied into cell end - 2.
void close_gap(BankTable& table, int from, int end) {
  for (int j = from; j + 2 <= end; ++j) cell(table, j) = cell(table, j + 2);
}

}  // namespace

bool bank_entry_usable(const Context& cx, int index) {
  return index >= 0 && index < bank_table_size && printable_ascii(cell(cx.st.bank_table, index));
}

int usable_entry_from(const Context& cx, int index, bool forward) {
  const int end = entries_end(cx);
  if (end < 0) return -1;
  for (int seen = first_entry; seen < end; seen += 2) {
    if (index < first_entry) index = end - 2;
    if (index >= end) index = first_entry;
    if (bank_entry_usable(cx, index)) return index;
    index += forward ? 2 : -2;
  }
  return -1;
}

void send_bank_step(Context& cx) {
  State& st = cx.st;
  if (!printable_ascii(cell(st.bank_table, 2))) {
    say(cx, "inv");
    return;
  }
  st.step_text = cell(st.bank_table, 2);
  send_step(cx);
}

void select_bank(Context& cx) {
  State& st = cx.st;
  if (!bank_number_ok(st.bank_number_text)) {
    refuse(cx);
    return;
  }
  st.bank_file_name = bank_name_for(st.bank_number_text);
  short_pause(cx);
  if (!load_bank(cx)) {
    st.selected_bank_loaded = 0;
    st.bank_scan_state = BankScanState::off;
    st.receiver_scan_state = ReceiverScanState::off;
    st.search_state = SearchState::off;
    return;
  }
  st.entry_mode = EntryMode::none;
  const int first = usable_entry_from(cx, first_entry, true);
  if (first < 0) {
    // Nothing to tune: the end marker must never reach the receiver, nor an
    // entry that cannot be sent.
    st.selected_bank_loaded = 0;
    st.bank_scan_state = BankScanState::off;
    say(cx, "inv");
    return;
  }
  // Entries that cannot be tuned are skipped, with "inv".
  if (first != first_entry) say(cx, "inv");
  st.selected_bank_loaded = 1;
  st.bank_scan_state = BankScanState::bank_mode;
  st.bank_cell_index = first;

  short_pause(cx);
  tune_current_entry(cx);
  short_pause(cx);
  st.mode_text = cell(st.bank_table, 1);
  apply_mode(cx);
  short_pause(cx);
  send_bank_step(cx);
  say(cx, "sel");
}

void step_entry(Context& cx, bool forward) {
  State& st = cx.st;
  const int end = entries_end(cx);
  if (st.selected_bank_loaded != 1 || end < 0) {
    say(cx, "inv");
    return;
  }
  select_label_line(cx);
  print_text(cx, {space_text(39)});

  int index = st.bank_cell_index + (forward ? 2 : -2);
  // Back from the first entry goes to the last one the table really holds
  // (a delete since the load may have shortened the bank).
  if (index == first_entry - 2) index = end - 2;
  if (index < first_entry || index >= end || index % 2 != 0) index = first_entry;
  // An entry that cannot be tuned is skipped, with "inv", for the next one.
  const int usable = usable_entry_from(cx, index, forward);
  if (usable != index) say(cx, "inv");
  if (usable < 0) return;
  index = usable;
  st.bank_cell_index = index;

  tune_current_entry(cx);
  select_label_line(cx);
  print_text(cx, {cell(st.bank_table, index + 1)});
  if (index == first_entry) say(cx, "beep");
}

void delete_entry(Context& cx) {
  State& st = cx.st;
  const int end = entries_end(cx);
  const int index = st.bank_cell_index;
  if (st.selected_bank_loaded != 1 || end < 0 || index < first_entry || index >= end || index % 2 != 0) {
    refuse(cx);
    return;
  }
  // Every following entry moves up, the end marker included, whatever the
  // bank's length.
  for (int i = index; i + 2 <= end; i += 2) {
    cell(st.bank_table, i) = cell(st.bank_table, i + 2);
    cell(st.bank_table, i + 1) = cell(st.bank_table, i + 3);
  }
  if (is_end(cell(st.bank_table, index))) st.bank_cell_index = first_entry;

  bool saved = false;
  if (is_end(cell(st.bank_table, first_entry))) {
    // The last entry is gone: save the empty bank and leave bank mode
    // without tuning anything.
    saved = save_bank(cx);
    st.bank_scan_state = BankScanState::off;
  } else {
    tune_current_entry(cx);
    saved = save_bank(cx);
  }
  st.entry_mode = EntryMode::none;
  say_saved(cx, saved);
}

void sort_bank(Context& cx) {
  State& st = cx.st;
  if (!bank_number_ok(st.bank_number_text)) {
    refuse(cx);
    return;
  }
  st.bank_file_name = bank_name_for(st.bank_number_text);
  if (!load_bank(cx)) return;
  BankTable& table = st.bank_table;
  int end = entries_end(cx);
  if (end < 0) {
    // Nothing to sort, so nothing is saved and the file stays as it was.
    say(cx, find_end_marker(cx) == first_entry ? "ok" : "inv");
    return;
  }

  // Ascending by numeric value; only real entries are compared, so the end
  // marker never moves, and equal values never swap.
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    for (int i = first_entry; i + 2 < end; i += 2) {
      if (numeric_value(cell(table, i)) > numeric_value(cell(table, i + 2))) {
        std::swap(cell(table, i), cell(table, i + 2));
        std::swap(cell(table, i + 1), cell(table, i + 3));
        exchanged = true;
      }
    }
  }

  // Equal neighbours: the second is blanked; the next comparison then sees
  // the blank, so of three equal texts two remain.
  for (int i = first_entry; i + 2 < end; i += 2) {
    if (cell(table, i) == cell(table, i + 2)) {
      cell(table, i + 2) = " ";
      cell(table, i + 3) = " ";
    }
  }

  // Remove blanked entries; after a move the same cell holds a new entry.
  for (int i = first_entry; i < end;) {
    if (cell(table, i) == " ") {
      close_gap(table, i, end);
      end -= 2;
    } else {
      i += 2;
    }
  }

  say_saved(cx, save_bank(cx));
}

void put_memory(Context& cx) {
  State& st = cx.st;
  if (!bank_number_ok(st.bank_number_text)) {
    refuse(cx);
    return;
  }
  BankTable& source = st.merge_table;
  cell(source, 0) = "bank00";
  cell(source, 1) = st.mode_text;
  cell(source, 2) = st.step_text;
  cell(source, 3) = " ";
  cell(source, 4) = st.frequency_text;
  cell(source, 5) = " ";
  cell(source, 6) = end_marker;
  merge_into_bank(cx);
}

void copy_bank(Context& cx) {
  State& st = cx.st;
  if (!bank_number_ok(st.bank_number_text)) {
    refuse(cx);
    return;
  }
  const std::string source_digits = st.bank_number_text.size() == 4 ? left(st.bank_number_text, 2) : "00";
  st.bank_file_name = bank_name_for(source_digits);
  if (!load_bank(cx)) {
    say(cx, "create");
    say(cx, mid(source_digits, 1, 1));
    say(cx, mid(source_digits, 2, 1));
    BankTable& table = st.bank_table;
    cell(table, 0) = cat("bank", source_digits);
    cell(table, 1) = st.mode_text;
    cell(table, 2) = st.step_text;
    cell(table, 3) = " ";
    cell(table, 4) = end_marker;
    save_bank(cx);
  }

  const int end = find_end_marker(cx);
  if (end < 0 || end > last_merge_end) {
    // More than the operations are built for: nothing is added anywhere.
    say(cx, "n");
    st.entry_mode = EntryMode::none;
    return;
  }
  BankTable& copied = st.merge_table;
  for (int k = 0; k <= last_merge_end; ++k) cell(copied, k) = cell(st.bank_table, k);
  if (!bank_has_entries(cx)) {
    // No entries to give. A header cut short by the end marker (the three
    // lines bank 0 holds after start-up) is completed as a new bank's would
    // be, so a target created from it gets a whole header.
    if (end < 2) cell(copied, 1) = st.mode_text;
    if (end < 3) cell(copied, 2) = st.step_text;
    if (end < 4) cell(copied, 3) = " ";
    cell(copied, first_entry) = end_marker;
  }
  merge_into_bank(cx);
}

void merge_into_bank(Context& cx) {
  State& st = cx.st;
  const Text& number = st.bank_number_text;
  const std::string target_digits = number.size() == 4 ? right(number, 2) : left(number, 2);
  st.bank_file_name = bank_name_for(target_digits);
  BankTable& table = st.bank_table;
  const BankTable& source = st.merge_table;
  if (!load_bank(cx)) {
    say(cx, "create");
    say(cx, mid(target_digits, 1, 1));
    say(cx, mid(target_digits, 2, 1));
    cell(table, 0) = cat("bank", target_digits);
    for (int k = 1; k <= 3; ++k) cell(table, k) = cell(source, k);
    cell(table, 4) = end_marker;
    save_bank(cx);
  }
  st.entry_mode = EntryMode::none;

  if (!(cell(table, 1) == cell(source, 1))) {
    say(cx, "incmode");
    return;
  }

  // The target's end, only within the 91 entries the operations are built
  // for; a longer or broken target is left exactly as it is.
  int e = find_end_marker(cx);
  if (e < first_entry || e > last_merge_end || e % 2 != 0) {
    say(cx, "n");
    return;
  }

  // Each source entry not yet in the target (nor among those just appended)
  // is appended. The source ends at its first "9999", within the table.
  for (int j = first_entry; j + 1 <= last_table_cell && !is_end(cell(source, j)); j += 2) {
    if (is_end(cell(source, j + 1))) break;
    bool present = false;
    for (int k = first_entry; k < e; k += 2) {
      if (cell(table, k) == cell(source, j)) {
        present = true;
        break;
      }
    }
    if (present) continue;
    if (e + 3 > last_table_cell) break;
    cell(table, e) = cell(source, j);
    cell(table, e + 1) = cell(source, j + 1);
    cell(table, e + 2) = end_marker;
    cell(table, e + 3) = " ";
    e += 2;
  }
  say_saved(cx, save_bank(cx));
}

void delete_bank_file(Context& cx) {
  State& st = cx.st;
  st.entry_mode = EntryMode::none;
  if (st.bank_number_text.size() != 2 || !all_digits(st.bank_number_text)) {
    say(cx, "inv");
    return;
  }
  namespace fs = std::filesystem;
  const std::string path = bank_name_for(st.bank_number_text);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(fs::path(path), error);
  // A link goes (not its target); a regular file goes only when the user may
  // write it. Anything else stays.
  if (!error && (fs::is_symlink(status) || (fs::is_regular_file(status) && files::may_write(path)))) {
    files::remove_name(path);
  }
  say(cx, "ok");
}

}  // namespace talvaro
