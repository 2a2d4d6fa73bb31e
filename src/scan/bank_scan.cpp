#include "scan/bank_scan.h"

#include "banks/bank_ops.h"
#include "core/bank_view.h"
#include "core/context.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

void start_bank_scan(Context& cx) {
  State& st = cx.st;
  // Only the selected bank is scanned, and only when it has an entry to tune:
  // the end marker is never sent as a frequency.
  const int first = st.selected_bank_loaded == 1 ? usable_entry_from(cx, bank_cells::first_entry, true) : -1;
  if (first < 0) {
    say(cx, clip::inv);
    return;
  }
  // Entries that cannot be tuned are skipped, with "inv".
  if (first != bank_cells::first_entry) say(cx, clip::inv);
  st.entry_mode = EntryMode::none;
  st.bank_scan_state = BankScanState::started;
  st.bank_cell_index = first;
  st.frequency_text = ConstBankView(st.bank_table).frequency(first);
  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
  short_pause(cx);
  st.mode_text = ConstBankView(st.bank_table).mode();
  apply_mode(cx);
  short_pause(cx);
  send_bank_step(cx);
}

}  // namespace talvaro
