#include "scan/bank_scan.h"

#include "banks/bank_ops.h"
#include "core/context.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

void start_bank_scan(Context& cx) {
  State& st = cx.st;
  // Only the selected bank is scanned, and only when it has an entry to tune:
  // the end marker is never sent as a frequency.
  const int first = st.selected_bank_loaded == 1 ? usable_entry_from(cx, 4, true) : -1;
  if (first < 0) {
    say(cx, "inv");
    return;
  }
  // Entries that cannot be tuned are skipped, with "inv".
  if (first != 4) say(cx, "inv");
  st.entry_mode = EntryMode::none;
  st.bank_scan_state = BankScanState::started;
  st.bank_cell_index = first;
  st.frequency_text = st.bank_table[static_cast<std::size_t>(first)];
  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
  short_pause(cx);
  st.mode_text = st.bank_table[1];
  apply_mode(cx);
  short_pause(cx);
  send_bank_step(cx);
}

}  // namespace talvaro
