// The setup program on Windows: with arguments, the use without a window,
// its reports on the console or pipe it was started with; without, the
// self-voicing window, every service on the Windows API.
//
// It is a console program so that a command prompt or a script waits for it,
// sees its exit code and gets its reports in order (a window program would
// return to the prompt at once). Started from the Start menu or Explorer it
// gets a console of its own, which it lets go before the window opens.

#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/win32/win32_audio.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_display.h"
#include "platform/win32/win32_events.h"
#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_serial.h"
#include "setup/setup.h"

namespace {

// Lets go of the console when this program is its only user: one Windows
// made for it, not the prompt it was started from.
void release_own_console() {
  DWORD users[2] = {};
  if (GetConsoleProcessList(users, 2) == 1) FreeConsole();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace talvaro;
  Win32PortFinder ports;
  if (argc > 1) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return setup::run_command_line(ports, args, std::cout, std::cerr);
  }
  release_own_console();
  Win32Display display(GetModuleHandleA(nullptr));
  Win32Audio audio;
  Win32SerialPorts serial;
  Win32Clock clock;
  Win32Events events;
  Platform platform{display, audio, serial, clock, events, program_folder()};
  return setup::run_window(platform, ports);
}
