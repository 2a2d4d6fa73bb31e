#include "scan/bank_scan.h"

#include "banks/bank_file.h"
#include "core/context.h"
#include "tuning/frequency.h"
#include "tuning/mode.h"
#include "voice/voice.h"

namespace talvaro {

void start_bank_scan(Context& cx) {
  State& st = cx.st;
  // Only the selected bank is scanned, and only when it has an entry to tune:
  // the end marker is never sent as a frequency.
  if (st.selected_bank_loaded != 1 || !bank_has_entries(cx)) {
    say(cx, "inv");
    return;
  }
  st.entry_mode = 0;
  st.bank_scan_state = 2;
  st.bank_cell_index = 4;
  st.frequency_text = st.bank_table[4];
  st.argument_text = st.frequency_text;
  tune_vfo_a(cx);
  short_pause(cx);
  st.mode_text = st.bank_table[1];
  apply_mode(cx);
  short_pause(cx);
  st.step_text = st.bank_table[2];
  send_step(cx);
}

}  // namespace talvaro
