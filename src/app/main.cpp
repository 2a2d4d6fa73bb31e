// The panel program: SDL window, audio and events, POSIX serial port and clock.
#define SDL_MAIN_HANDLED

#include <signal.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/start/startup.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"
#include "platform/sdl/sdl_handles.h"
#ifdef TALVARO_CLIP_LOG
#include "app/clip_log.h"
#endif

namespace {

// SDL for the whole run: everything it started is shut down on the way out.
class SdlSession {
 public:
  SdlSession() : ok_(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0) {}
  ~SdlSession() { SDL_Quit(); }
  SdlSession(const SdlSession&) = delete;
  SdlSession& operator=(const SdlSession&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// Closing the terminal the panel was started from hangs it up. That ends the
// program as SIGTERM does: SDL's own SIGTERM handler asks for a quit event,
// which leads through the usual shutdown (EX to the receiver, the state
// record). Raising a signal is safe inside a signal handler.
extern "C" void end_as_terminated(int) { std::raise(SIGTERM); }

// Installed after SDL has set up its handlers, and only where SIGTERM has
// one of them and SIGHUP still has its default action (a hang-up the caller
// chose to ignore stays ignored).
void treat_hangup_as_termination() {
  struct sigaction terminate {};
  struct sigaction hangup {};
  if (sigaction(SIGTERM, nullptr, &terminate) != 0 || sigaction(SIGHUP, nullptr, &hangup) != 0) return;
  const bool sdl_handles_termination =
      (terminate.sa_flags & SA_SIGINFO) != 0 || (terminate.sa_handler != SIG_DFL && terminate.sa_handler != SIG_IGN);
  if (!sdl_handles_termination || (hangup.sa_flags & SA_SIGINFO) != 0 || hangup.sa_handler != SIG_DFL) return;
  hangup = {};
  hangup.sa_handler = end_as_terminated;
  sigemptyset(&hangup.sa_mask);
  hangup.sa_flags = SA_RESTART;
  sigaction(SIGHUP, &hangup, nullptr);
}

// The folder of the running program file; "" when it cannot be told.
std::string program_folder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

}  // namespace

int main() {
  using namespace talvaro;
  SdlSession session;
  if (!session.ok()) {
    // Without a display there is neither a panel nor a keyboard to use.
    std::fprintf(stderr, "talvaro: cannot open the display: %s\n", SDL_GetError());
    return 1;
  }
  treat_hangup_as_termination();
  sdl::FontRenderer fonts;
  SdlDisplay display;
  SdlAudio sdl_audio;
  // The sound output is readied by a key press, whose clip follows at the
  // next tick, and let go while the panel only waits.
  SdlEvents events(display, {[&sdl_audio] { sdl_audio.prepare(); }, [&sdl_audio] { sdl_audio.release_when_silent(); }});
#ifdef TALVARO_CLIP_LOG
  // The test build records every clip in clips.log in the working folder.
  ClipLogAudio audio(sdl_audio, "clips.log");
#else
  Audio& audio = sdl_audio;
#endif
  PosixSerialPorts serial;
  PosixClock clock;
  Platform platform{display, audio, serial, clock, events, program_folder()};
  return run_talvaro(platform);
}
