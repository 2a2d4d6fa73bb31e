#pragma once
// The setup program: finds the serial ports and the receiver, and writes
// TALVARO.CFG (and, on Linux, the COMn link) for the panel.

#include <iosfwd>
#include <string>
#include <vector>

#include "core/platform.h"

namespace talvaro::setup {

// The window: self-voicing and driven by keys until W saves the settings or
// Escape (or the close box) leaves without saving. Returns the exit code.
int run_window(Platform& platform, PortFinder& ports);

// The use without a window, for a sighted helper or a script: args are the
// arguments after the program name (at least one). Reports go to out, errors
// to err. Returns the exit code.
int run_command_line(PortFinder& ports, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace talvaro::setup
