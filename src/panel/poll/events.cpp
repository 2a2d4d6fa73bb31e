#include "panel/poll/events.h"

#include <algorithm>

#include "commands/keys.h"
#include "core/context.h"
#include "panel/poll/poll.h"

namespace talvaro {

namespace {

constexpr int key_q = 'Q';

// A key press adds its code and then a receive marker (0), which makes the
// dispatcher read the receiver's answer to whatever the key sent.
void queue_key(State& st, int key_code) {
  // One latch for the whole keyboard: held keys do not repeat, and a key
  // pressed while another is held is lost.
  if (st.key_held == 1) return;
  st.key_held = 1;
  if (st.key_queue_length < 0 || st.key_queue_length > key_queue_size) return;
  // A full queue drops the press: ten keys are already waiting. Q is never
  // dropped: it takes the place of the last key waiting, unless a Q waits
  // already, so the program can always be ended.
  if (st.key_queue_length + 2 > key_queue_size) {
    const auto waiting = st.key_queue.begin() + st.key_queue_length;
    if (key_code == key_q && st.key_queue_length >= 2 && std::find(st.key_queue.begin(), waiting, key_q) == waiting) {
      st.key_queue[static_cast<std::size_t>(st.key_queue_length - 2)] = key_q;
    }
    return;
  }
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
