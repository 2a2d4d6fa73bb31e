#pragma once
// The services of the programs on Windows, put together once for the panel
// and the setup program: every one on the Windows API.

#include <windows.h>

#include "core/platform.h"
#include "platform/win32/win32_audio.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_display.h"
#include "platform/win32/win32_events.h"
#include "platform/win32/win32_serial.h"
#ifdef TALVARO_CLIP_LOG
#include "app/clip_log.h"
#endif

namespace talvaro::app {

class Win32Services {
 public:
  Win32Services() = default;
  Win32Services(const Win32Services&) = delete;
  Win32Services& operator=(const Win32Services&) = delete;
  Platform& platform() { return platform_; }

 private:
  Win32Display display_{GetModuleHandleA(nullptr)};
  Win32Audio win32_audio_;
#ifdef TALVARO_CLIP_LOG
  // The test build records every clip in clips.log in the working folder.
  ClipLogAudio audio_{win32_audio_, "clips.log"};
#else
  Audio& audio_ = win32_audio_;
#endif
  Win32SerialPorts serial_;
  Win32Clock clock_;
  Win32Events events_;
  Platform platform_{display_, audio_, serial_, clock_, events_, program_folder()};
};

}  // namespace talvaro::app
