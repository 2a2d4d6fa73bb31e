// Drives the Win32 display and event source for the layer tests: opens the
// panel's window, draws a red "88", then writes every batch of events to the
// standard output, one line a batch ("down 65 up tick", "close"). Key T
// starts the poll timer and keeps the thread busy, with a blue "77" drawn
// first, until a file named "go" appears in the working folder and at least
// five timer periods have passed; the next batch shows what queued meanwhile.
// The close event ends the program.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_display.h"
#include "platform/win32/win32_events.h"

namespace {

constexpr int timer_period_ms = 100;
constexpr int key_t = 'T';

void say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void busy_until_go() {
  const ULONGLONG earliest = GetTickCount64() + 5 * timer_period_ms;
  while (GetTickCount64() < earliest || GetFileAttributesA("go") == INVALID_FILE_ATTRIBUTES) Sleep(10);
}

}  // namespace

int main() {
  using namespace talvaro;
  Win32Display display(GetModuleHandleA(nullptr));
  Win32Events events;
  if (!display.open_window({"Talvaro layer probe", 250, 100, 950, 500})) return 1;
  const FontSpec big{"Arial", 40, 700};
  display.draw_text(100, 100, "88", big, 0x0000FF);
  say("ready");
  for (;;) {
    std::vector<Event> batch;
    events.wait_events(batch);
    std::string line;
    bool close = false;
    bool busy = false;
    for (const Event& event : batch) {
      if (!line.empty()) line += ' ';
      switch (event.code) {
        case event_key_down:
          line += "down " + std::to_string(event.param);
          busy = busy || event.param == key_t;
          break;
        case event_key_up:
          line += "up";
          break;
        case event_timer:
          line += "tick";
          break;
        case event_close:
          line += "close";
          close = true;
          break;
        default:
          line += "other";
          break;
      }
    }
    say(line);
    if (close) return 0;
    if (busy) {
      events.start_timer(timer_period_ms);
      display.draw_text(400, 100, "77", big, 0xFF0000);
      say("busy");
      busy_until_go();
    }
  }
}
