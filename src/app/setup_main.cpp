// The setup program: with arguments it works without a window (SDL is not
// started then); without, it opens its window with SDL's display, audio and
// events. The POSIX services find and open the ports.
#define SDL_MAIN_HANDLED

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/sdl_services.h"
#include "platform/posix/posix_port_finder.h"
#include "setup/setup.h"

namespace {

int run_window(talvaro::PortFinder& ports) {
  talvaro::app::SdlSession session;
  if (!session.ok()) {
    std::fprintf(stderr, "talvaro-setup: cannot open the display: %s (try --help for use without a window)\n",
                 SDL_GetError());
    return 1;
  }
  talvaro::app::SdlServices services;
  return talvaro::setup::run_window(services.platform(), ports);
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
