// The setup program: with arguments it works without a window (SDL is not
// started then); without, it opens its window with SDL's display, audio and
// events. The POSIX services find and open the ports.
#define SDL_MAIN_HANDLED

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_port_finder.h"
#include "platform/posix/posix_serial.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"
#include "platform/sdl/sdl_handles.h"
#include "setup/setup.h"
#ifdef TALVARO_CLIP_LOG
#include "app/clip_log.h"
#endif

namespace {

// SDL for the whole run of the window: everything it started is shut down
// on the way out.
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

// The folder of the running program file; "" when it cannot be told.
std::string program_folder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

int run_window(talvaro::PortFinder& ports) {
  using namespace talvaro;
  SdlSession session;
  if (!session.ok()) {
    std::fprintf(stderr, "talvaro-setup: cannot open the display: %s (try --help for use without a window)\n",
                 SDL_GetError());
    return 1;
  }
  sdl::FontRenderer fonts;
  SdlDisplay display;
  SdlAudio sdl_audio;
  SdlEvents events(display, {[&sdl_audio] { sdl_audio.prepare(); }, [&sdl_audio] { sdl_audio.release_when_silent(); }});
#ifdef TALVARO_CLIP_LOG
  ClipLogAudio audio(sdl_audio, "clips.log");
#else
  Audio& audio = sdl_audio;
#endif
  PosixSerialPorts serial;
  PosixClock clock;
  Platform platform{display, audio, serial, clock, events, program_folder()};
  return setup::run_window(platform, ports);
}

}  // namespace

int main(int argc, char** argv) {
  talvaro::PosixPortFinder ports;
  if (argc > 1) {
    return talvaro::setup::run_command_line(ports, std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                            std::cerr);
  }
  return run_window(ports);
}
