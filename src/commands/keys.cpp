#include "commands/keys.h"

#include "core/context.h"
#include "panel/poll.h"

namespace talvaro {

namespace {

// A key press adds its code and then a receive marker (0), which makes the
// dispatcher read the receiver's answer to whatever the key sent.
void queue_key(State& st, int key_code) {
  // One latch for the whole keyboard: held keys do not repeat, and a key
  // pressed while another is held is lost.
  if (st.key_held == 1) return;
  st.key_held = 1;
  // A full queue drops the press: ten keys are already waiting.
  if (st.key_queue_length < 0 || st.key_queue_length + 2 > key_queue_size) return;
  const auto at = static_cast<std::size_t>(st.key_queue_length);
  st.key_queue[at] = key_code;
  st.key_queue[at + 1] = 0;
  st.key_queue_length += 2;
}

}  // namespace

void handle_event(Context& cx, int event_code, int event_param) {
  State& st = cx.st;
  st.event_code = event_code;
  st.event_param = event_param;
  switch (event_code) {
    case event_close:
      st.running = 0;
      break;
    case event_key_up:
      st.key_held = 0;
      st.last_key = key::none;
      break;
    case event_key_down:
      queue_key(st, event_param);
      break;
    case event_timer:
      poll_tick(cx);
      break;
    default:
      break;
  }
}

}  // namespace talvaro
