#include "banks/bank_ops.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "banks/bank_file.h"
#include "core/bank_view.h"
#include "core/context.h"
#include "core/files.h"
#include "core/text.h"
#include "panel/display.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

using bank_cells::first_entry;

bool is_end(const Text& text) { return text == end_marker; }

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
  say(cx, clip::inv);
  cx.st.entry_mode = EntryMode::none;
}

// Tunes the current entry; one that cannot be tuned gets "inv" instead.
void tune_current_entry(Context& cx) {
  State& st = cx.st;
  if (!bank_entry_usable(cx, st.bank_cell_index)) {
    say(cx, clip::inv);
    return;
  }
  st.frequency_text = ConstBankView(st.bank_table).frequency(st.bank_cell_index);
  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
}

// "ok" once the file is in place, "inv" when the save failed.
void say_saved(Context& cx, bool saved) { say(cx, saved ? clip::ok : clip::inv); }

// The label line under the frequency, in green.
void select_label_line(Context& cx) { place(cx, layout::bank_label); }

// Cells from..end move up by one entry, until the end marker has been
// copied into the cell of the last entry.
void close_gap(const BankView& bank, int from, int end) {
  for (int j = from; j + bank_cells::entry_size <= end; ++j) bank.cell(j) = bank.cell(j + bank_cells::entry_size);
}

}  // namespace

bool bank_entry_usable(const Context& cx, int index) {
  return index >= 0 && index < bank_table_size && printable_ascii(ConstBankView(cx.st.bank_table).frequency(index));
}

int usable_entry_from(const Context& cx, int index, bool forward) {
  const ConstBankView bank(cx.st.bank_table);
  const int end = bank.entries_end();
  if (end < 0) return -1;
  for ([[maybe_unused]] const int seen : bank.entries()) {
    if (index < first_entry) index = BankView::previous_entry(end);
    if (index >= end) index = first_entry;
    if (bank_entry_usable(cx, index)) return index;
    index = forward ? BankView::next_entry(index) : BankView::previous_entry(index);
  }
  return -1;
}

void send_bank_step(Context& cx) {
  State& st = cx.st;
  const ConstBankView bank(st.bank_table);
  if (!printable_ascii(bank.step())) {
    say(cx, clip::inv);
    return;
  }
  st.step_text = bank.step();
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
    say(cx, clip::inv);
    return;
  }
  // Entries that cannot be tuned are skipped, with "inv".
  if (first != first_entry) say(cx, clip::inv);
  st.selected_bank_loaded = 1;
  st.bank_scan_state = BankScanState::bank_mode;
  st.bank_cell_index = first;

  short_pause(cx);
  tune_current_entry(cx);
  short_pause(cx);
  st.mode_text = ConstBankView(st.bank_table).mode();
  apply_mode(cx);
  short_pause(cx);
  send_bank_step(cx);
  say(cx, clip::sel);
}

void step_entry(Context& cx, bool forward) {
  State& st = cx.st;
  const ConstBankView bank(st.bank_table);
  const int end = bank.entries_end();
  if (st.selected_bank_loaded != 1 || end < 0) {
    say(cx, clip::inv);
    return;
  }
  select_label_line(cx);
  print_text(cx, {space_text(39)});

  int index = forward ? BankView::next_entry(st.bank_cell_index) : BankView::previous_entry(st.bank_cell_index);
  // Back from the first entry goes to the last one the table really holds
  // (a delete since the load may have shortened the bank).
  if (index == BankView::previous_entry(first_entry)) index = BankView::previous_entry(end);
  if (!bank.holds_entry(index)) index = first_entry;
  // An entry that cannot be tuned is skipped, with "inv", for the next one.
  const int usable = usable_entry_from(cx, index, forward);
  if (usable != index) say(cx, clip::inv);
  if (usable < 0) return;
  index = usable;
  st.bank_cell_index = index;

  tune_current_entry(cx);
  select_label_line(cx);
  print_text(cx, {bank.label(index)});
  if (index == first_entry) say(cx, clip::beep);
}

void delete_entry(Context& cx) {
  State& st = cx.st;
  const BankView bank(st.bank_table);
  const int end = bank.entries_end();
  const int index = st.bank_cell_index;
  if (st.selected_bank_loaded != 1 || !bank.holds_entry(index)) {
    refuse(cx);
    return;
  }
  // Every following entry moves up, the end marker included, whatever the
  // bank's length.
  for (int i = index; BankView::next_entry(i) <= end; i = BankView::next_entry(i)) {
    bank.frequency(i) = bank.frequency(BankView::next_entry(i));
    bank.label(i) = bank.label(BankView::next_entry(i));
  }
  if (is_end(bank.frequency(index))) st.bank_cell_index = first_entry;

  bool saved = false;
  if (is_end(bank.frequency(first_entry))) {
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
  const BankView bank(st.bank_table);
  int end = bank.entries_end();
  if (end < 0) {
    // Nothing to sort, so nothing is saved and the file stays as it was.
    say(cx, bank.end_marker() == first_entry ? clip::ok : clip::inv);
    return;
  }
  const int last_entry = BankView::previous_entry(end);

  // Ascending by numeric value; only real entries are compared, so the end
  // marker never moves, and equal values never swap.
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    for (const int i : EntryCells(first_entry, last_entry)) {
      const int j = BankView::next_entry(i);
      if (numeric_value(bank.frequency(i)) > numeric_value(bank.frequency(j))) {
        std::swap(bank.frequency(i), bank.frequency(j));
        std::swap(bank.label(i), bank.label(j));
        exchanged = true;
      }
    }
  }

  // Equal neighbours: the second is blanked; the next comparison then sees
  // the blank, so of three equal texts two remain.
  for (const int i : EntryCells(first_entry, last_entry)) {
    const int j = BankView::next_entry(i);
    if (bank.frequency(i) == bank.frequency(j)) {
      bank.frequency(j) = " ";
      bank.label(j) = " ";
    }
  }

  // Remove blanked entries; after a move the same cell holds a new entry.
  for (int i = first_entry; i < end;) {
    if (bank.frequency(i) == " ") {
      close_gap(bank, i, end);
      end = BankView::previous_entry(end);
    } else {
      i = BankView::next_entry(i);
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
  const BankView source(st.merge_table);
  source.start_new("bank00", st.mode_text, st.step_text);
  source.append(first_entry, st.frequency_text, " ");
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
    say(cx, clip::create);
    say(cx, clip::named(mid(source_digits, 1, 1)));
    say(cx, clip::named(mid(source_digits, 2, 1)));
    BankView(st.bank_table).start_new(cat("bank", source_digits), st.mode_text, st.step_text);
    save_bank(cx);
  }

  const ConstBankView bank(st.bank_table);
  const int end = bank.end_marker();
  if (end < 0 || end > bank_cells::last_merge_end) {
    // More than the operations are built for: nothing is added anywhere.
    say(cx, clip::n);
    st.entry_mode = EntryMode::none;
    return;
  }
  const BankView copied(st.merge_table);
  for (int k = 0; k <= bank_cells::last_merge_end; ++k) copied.cell(k) = bank.cell(k);
  if (!bank.has_entries()) {
    // No entries to give. A header cut short by the end marker (the three
    // lines bank 0 holds after start-up) is completed as a new bank's would
    // be, so a target created from it gets a whole header.
    const Text name = copied.name();
    const Text mode = end > bank_cells::mode ? copied.mode() : st.mode_text;
    const Text step = end > bank_cells::step ? copied.step() : st.step_text;
    const Text spare = end > bank_cells::spare ? copied.cell(bank_cells::spare) : Text(" ");
    copied.start_new(name.str(), mode, step, spare);
  }
  merge_into_bank(cx);
}

void merge_into_bank(Context& cx) {
  State& st = cx.st;
  const Text& number = st.bank_number_text;
  const std::string target_digits = number.size() == 4 ? right(number, 2) : left(number, 2);
  st.bank_file_name = bank_name_for(target_digits);
  const BankView target(st.bank_table);
  const ConstBankView source(st.merge_table);
  if (!load_bank(cx)) {
    say(cx, clip::create);
    say(cx, clip::named(mid(target_digits, 1, 1)));
    say(cx, clip::named(mid(target_digits, 2, 1)));
    target.start_new(cat("bank", target_digits), source.mode(), source.step(), source.cell(bank_cells::spare));
    save_bank(cx);
  }
  st.entry_mode = EntryMode::none;

  if (!(target.mode() == source.mode())) {
    say(cx, clip::incmode);
    return;
  }

  // The target's end, only within the 91 entries the operations are built
  // for; a longer or broken target is left exactly as it is.
  if (!target.within_merge_limit()) {
    say(cx, clip::n);
    return;
  }
  int e = target.end_marker();

  // Each source entry not yet in the target (nor among those just appended)
  // is appended. The source ends at its first "9999", within the table.
  for (int j = first_entry; j + 1 <= bank_cells::last && !is_end(source.frequency(j)); j = BankView::next_entry(j)) {
    if (is_end(source.label(j))) break;
    bool present = false;
    for (const int k : EntryCells(first_entry, e)) {
      if (target.frequency(k) == source.frequency(j)) {
        present = true;
        break;
      }
    }
    if (present) continue;
    if (!BankView::room_after(e)) break;
    e = target.append(e, source.frequency(j), source.label(j));
  }
  say_saved(cx, save_bank(cx));
}

void delete_bank_file(Context& cx) {
  State& st = cx.st;
  st.entry_mode = EntryMode::none;
  if (st.bank_number_text.size() != 2 || !all_digits(st.bank_number_text)) {
    say(cx, clip::inv);
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
  say(cx, clip::ok);
}

}  // namespace talvaro
