// The panel program on Windows: every service on the Windows API.

#include <windows.h>

#include "core/start/startup.h"
#include "platform/win32/win32_audio.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_display.h"
#include "platform/win32/win32_events.h"
#include "platform/win32/win32_serial.h"
#ifdef TALVARO_CLIP_LOG
#include "app/clip_log.h"
#endif

int main() {
  using namespace talvaro;
  Win32Display display(GetModuleHandleA(nullptr));
  Win32Audio win32_audio;
#ifdef TALVARO_CLIP_LOG
  // The test build records every clip in clips.log in the working folder.
  ClipLogAudio audio(win32_audio, "clips.log");
#else
  Audio& audio = win32_audio;
#endif
  Win32SerialPorts serial;
  Win32Clock clock;
  Win32Events events;
  Platform platform{display, audio, serial, clock, events, program_folder()};
  return run_talvaro(platform);
}
