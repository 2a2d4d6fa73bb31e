// The panel program: SDL window, audio and events, POSIX serial port and clock.
#define SDL_MAIN_HANDLED

#include <signal.h>

#include <csignal>
#include <cstdio>

#include "app/sdl_services.h"
#include "core/start/startup.h"

namespace {

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

}  // namespace

int main() {
  talvaro::app::SdlSession session;
  if (!session.ok()) {
    // Without a display there is neither a panel nor a keyboard to use.
    std::fprintf(stderr, "talvaro: cannot open the display: %s\n", SDL_GetError());
    return 1;
  }
  treat_hangup_as_termination();
  talvaro::app::SdlServices services;
  return talvaro::run_talvaro(services.platform());
}
