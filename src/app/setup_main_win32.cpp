// The setup program on Windows: with arguments, the use without a window,
// its reports on the console or pipe it was started with; without, the
// self-voicing window, every service on the Windows API.
//
// It is a window program, so that started from the Start menu or Explorer
// it never shows a console beside its window (a screen reader would read it
// out and it would take the focus). Started with arguments it writes to the
// files or pipes its caller handed over, or else to the console of the
// command prompt that started it; a batch file, or "start /wait" at the
// prompt, waits for it and gets its exit code.

#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/win32_services.h"
#include "platform/win32/win32_ports.h"
#include "setup/setup.h"

namespace {

// Where the stream goes now: a file, a pipe or a device other than a console
// (NUL), which the caller chose and which stays.
bool redirected(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
      return true;
    case FILE_TYPE_CHAR:
      return GetConsoleMode(handle, &mode) == 0;
    default:
      return false;
  }
}

// Joins the console of the program that started this one, when there is
// one, and sends to it each report stream the caller did not redirect.
void report_to_caller() {
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  const struct {
    DWORD which;
    std::FILE* stream;
  } streams[] = {{STD_OUTPUT_HANDLE, stdout}, {STD_ERROR_HANDLE, stderr}};
  for (const auto& [which, stream] : streams) {
    if (!redirected(which)) std::freopen("CONOUT$", "w", stream);
  }
  std::cout.clear();
  std::cerr.clear();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace talvaro;
  Win32PortFinder ports;
  if (argc > 1) {
    report_to_caller();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return setup::run_command_line(ports, args, std::cout, std::cerr);
  }
  app::Win32Services services;
  return setup::run_window(services.platform(), ports);
}
