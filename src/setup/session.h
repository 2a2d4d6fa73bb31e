#pragma once
// What the window and the command line share: the ports found, the settings
// to write (those of an existing TALVARO.CFG, else the defaults), and the
// port the PRT line will name.

#include <optional>
#include <string>
#include <vector>

#include "core/platform.h"
#include "setup/ports.h"
#include "setup/settings.h"

namespace talvaro::setup {

struct Session {
  std::vector<NumberedPort> ports;
  Settings settings;
  bool had_file = false;
  // The port the PRT line names when it is one of ports (chosen, found, or
  // the default of a new file); nullopt while an existing file's port text
  // stands as it was.
  std::optional<std::size_t> chosen;
};

Session start_session(PortFinder& finder);
// Names the port in the PRT line.
void choose_port(Session& session, std::size_t index);
// The baud rate text of a rate.
std::string baud_text(int baud);
// Makes the link and writes TALVARO.CFG in the working folder.
SaveResult save(PortFinder& finder, const Session& session);

}  // namespace talvaro::setup
