#include "scan/search.h"

#include <algorithm>

#include "banks/bank_file.h"
#include "core/bank_view.h"
#include "core/context.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "panel/display.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

constexpr std::string_view search_bank_name = "Srchbank";
constexpr std::string_view search_bank_file = "bank00.dat";
// The search bank holds at most 91 finds (end marker at cell 186).
constexpr int search_bank_capacity = 90;

}  // namespace

bool table_holds_search_bank(const Context& cx) {
  return ConstBankView(cx.st.bank_table).name() == search_bank_name && cx.st.bank_file_name == search_bank_file;
}

void start_search(Context& cx) {
  State& st = cx.st;
  st.search_state = SearchState::searching;
  st.found_count = 0;
  st.bank_file_name = search_bank_file;

  place(cx, layout::search_active);
  print_text(cx, {"Search Mode Active"});
  say(cx, clip::srch);

  // A fresh search bank, written at once like any bank save (so an existing
  // bank00.dat is replaced whole or not at all).
  BankView(st.bank_table).start_new(search_bank_name, st.mode_text, st.step_text);
  // One entry before the first, as a load of a bank without entries leaves it.
  st.bank_cell_index = BankView::previous_entry(bank_cells::first_entry);
  st.selected_bank_loaded = 0;
  save_bank(cx);

  st.argument_text = st.search_low_text;
  short_pause(cx);
  tune_vfo_a(cx);

  st.argument_text = st.search_high_text;
  short_pause(cx);
  set_vfo_b(cx);

  short_pause(cx);
  send_step(cx);

  place(cx, layout::entry_echo);
  print_text(cx, {st.search_low_text, "/", st.search_high_text});

  short_pause(cx);
  apply_mode(cx);
  say(cx, clip::act);

  st.command_text = receiver::command::search;
  send_command(cx);
}

void record_found(Context& cx) {
  State& st = cx.st;
  // Finds belong in the search bank only; another bank loaded since the
  // search started is never touched.
  if (!table_holds_search_bank(cx)) return;

  // A bank whose first end marker is not at an even cell of at least 4 has no
  // place where a find could go.
  const BankView bank(st.bank_table);
  const int marker = bank.end_marker();
  if (BankView::at_entry(marker)) {
    for (const int i : EntryCells(bank_cells::first_entry, std::min(marker + 1, bank_file_lines))) {
      if (bank.frequency(i) == st.frequency_text || st.found_count > search_bank_capacity) break;
      if (i != marker) continue;
      bank.append(i, st.frequency_text, " ");
      ++st.found_count;
      if (st.search_stop_mode == SearchStopMode::cont) {
        place(cx, layout::found_label);
        print_text(cx, {"Found"});
        place(cx, layout::found_count);
        print_text(cx, {st.found_count});
        set_colour(cx, colour_black);
        speak_count(cx, st.found_count);
      }
      break;
    }
  }
  if (st.found_count > search_bank_capacity) say(cx, clip::bf);
}

void toggle_stop_mode(Context& cx) {
  State& st = cx.st;
  st.search_stop_mode = st.search_stop_mode == SearchStopMode::stop ? SearchStopMode::cont : SearchStopMode::stop;
  say(cx, st.search_stop_mode == SearchStopMode::stop ? clip::stmode : clip::cont);
  show_search_settings(cx);
}

void show_search_settings(Context& cx) {
  const State& st = cx.st;
  place(cx, layout::search_low);
  print_text(cx, {st.search_low_text, space_text(10)});
  place(cx, layout::step);
  print_text(cx, {st.step_text, space_text(9)});
  place(cx, layout::stop_mode);
  print_text(cx, {st.search_stop_mode == SearchStopMode::stop ? "STOP" : "CONT"});
  place(cx, layout::search_high);
  print_text(cx, {st.search_high_text, space_text(8)});
}

}  // namespace talvaro
