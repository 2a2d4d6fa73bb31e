// The panel program: SDL window, audio and events, POSIX serial port and clock.
#include "core/startup.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"

int main(int, char**) {
  using namespace talvaro;
  SdlDisplay display;
  SdlAudio audio;
  SdlEvents events;
  PosixSerialPorts serial;
  PosixClock clock;
  Platform platform{display, audio, serial, clock, events, ""};
  return run_talvaro(platform);
}
