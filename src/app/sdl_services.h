#pragma once
// The services of the programs on Linux, put together once for the panel and
// the setup program: SDL's display, audio and events, the POSIX serial ports
// and clock. SDL is started (SdlSession) before they are made.

#include <filesystem>
#include <string>
#include <system_error>

#include "core/platform.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"
#include "platform/sdl/sdl_handles.h"
#ifdef TALVARO_CLIP_LOG
#include "app/clip_log.h"
#endif

namespace talvaro::app {

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

// The folder of the running program file; "" when it cannot be told.
inline std::string program_folder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

class SdlServices {
 public:
  SdlServices() = default;
  SdlServices(const SdlServices&) = delete;
  SdlServices& operator=(const SdlServices&) = delete;
  Platform& platform() { return platform_; }

 private:
  sdl::FontRenderer fonts_;
  SdlDisplay display_;
  SdlAudio sdl_audio_;
  // The sound output is readied by a key press, whose clip follows at the
  // next tick, and let go while the program only waits.
  SdlEvents events_{display_, {[this] { sdl_audio_.prepare(); }, [this] { sdl_audio_.release_when_silent(); }}};
#ifdef TALVARO_CLIP_LOG
  // The test build records every clip in clips.log in the working folder.
  ClipLogAudio audio_{sdl_audio_, "clips.log"};
#else
  Audio& audio_ = sdl_audio_;
#endif
  PosixSerialPorts serial_;
  PosixClock clock_;
  Platform platform_{display_, audio_, serial_, clock_, events_, program_folder()};
};

}  // namespace talvaro::app
