#include "core/start/startup.h"

#include <cstdio>
#include <vector>

#include "banks/bank_file.h"
#include "core/bank_view.h"
#include "core/config.h"
#include "core/context.h"
#include "core/start/connection.h"
#include "core/start/state_record.h"
#include "link/protocol.h"
#include "link/receiver.h"
#include "link/serial.h"
#include "panel/display.h"
#include "panel/poll/events.h"
#include "voice/voice.h"

namespace talvaro {

namespace {

constexpr int poll_period_ms = 100;

std::string two_digits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

void report_missing_configuration(Context& cx) {
  move_to(cx, layout::missing_config_1.at);
  print_text(cx, {"--- TALVARO.CFG file not found ---"});
  move_to(cx, layout::missing_config_2.at);
  print_text(cx, {"please run the 'TALVSET' program"});
  // The voice setting was never read, so wave_path still names the clips.
  play_clip(cx, cx.st.wave_path, clip::cfnf);
}

}  // namespace

std::string date_text(const LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d-%02d-%04d", t.day, t.month, t.year);
  return buffer;
}

std::string time_text(const LocalTime& t) {
  return cat(two_digits(t.hour), ":", two_digits(t.minute), ":", two_digits(t.second));
}

bool start_up(Context& cx) {
  State& st = cx.st;
  cx.io.display.open_window({std::string(window_caption), 250, 100, 950, 500});

  st.version_text = "4.1b";
  st.banner_text = cat("*** Talvaro V ", st.version_text, " ***");
  st.credit_text = "  talking front panel for the AR8600 receiver";
  st.wave_path = "wave\\";
  st.pause_wave_path = "wave\\";

  if (!read_configuration(cx)) {
    report_missing_configuration(cx);
    return false;
  }

  if (st.voice_enabled == 0) st.wave_path = "";

  if (st.debug_enabled == 1) {
    // Never written through a symbolic link, nor into anything but a regular file.
    open_text_file(st.debug_file, "debug1.dat", "W", files::Links::refuse);
    const LocalTime now = cx.io.clock.local_time();
    write_debug_line(cx, cat("TALVARO ", st.version_text, "  ", date_text(now), "   ", time_text(now)));
  }

  move_to(cx, layout::banner.at);
  print_text(cx, {cat(st.banner_text, st.credit_text)});

  // The spoken version is fixed, whatever version_text holds.
  for (const ClipName name : {clip::talvaro, clip::digit_4, clip::point, clip::digit_1})
    play_clip(cx, st.wave_path, name);
  play_clip(cx, st.pause_wave_path, clip::shdel);

  connection_start(cx);
  return true;
}

void run_event_loop(Context& cx) {
  std::vector<Event> events;
  cx.st.running = 1;
  while (cx.st.running != 0) {
    events.clear();
    cx.io.events.wait_events(events);
    for (const Event& event : events) {
      handle_event(cx, event.code, event.param);
      // Nothing more is handled once the program has been asked to end.
      if (cx.st.running == 0) break;
    }
  }
}

void shut_down(Context& cx, bool write_state_record) {
  State& st = cx.st;
  cx.io.events.stop_timer();
  if (st.debug_enabled == 1) close_text_file(st.debug_file);
  st.command_text = receiver::command::exit_remote;
  send_command(cx);
  close_port(cx, st.com_port);

  if (write_state_record) {
    const LocalTime now = cx.io.clock.local_time();
    const BankView record(st.bank_table);
    record.cell(state_record::title_cell) = cat(st.banner_text, "  ", date_text(now), "  ", time_text(now));
    for (const state_record::Setting& row : state_record::settings) record.cell(row.cell) = st.*row.variable;
    record.cell(state_record::end_cell) = end_marker;
    record.cell(state_record::end_cell + 1) = state_record::after_end;
    st.bank_file_name = "bank00.dat";
    save_bank(cx);
  }

  cx.io.audio.stop();
  cx.io.display.close_window();
}

int run_talvaro(Platform& platform) {
  // The state is large (two bank tables); keep it off the stack.
  auto cx = std::make_unique<Context>(platform);
  if (!start_up(*cx)) {
    // Nothing was restored, so no state record is written: an existing
    // bank00.dat stays exactly as it was.
    shut_down(*cx, false);
    return 0;
  }
  cx->io.events.start_timer(poll_period_ms);
  run_event_loop(*cx);
  shut_down(*cx, true);
  return 0;
}

}  // namespace talvaro
