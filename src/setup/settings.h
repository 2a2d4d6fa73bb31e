#pragma once
// TALVARO.CFG as the setup reads and writes it: five lines ended by CR LF,
//   PRT=COMn, BAUDR=<baud>, MODEL=AR8600, VOICE=<0|1>, DEBUG=<0|1>,
// read at the panel's fixed positions, so whatever the panel would take from
// an existing file is kept as it stands unless the user changes it.

#include <optional>
#include <string>

#include "core/platform.h"
#include "setup/ports.h"

namespace talvaro::setup {

inline constexpr const char* config_name = "TALVARO.CFG";

struct Settings {
  std::string port_text = "COM1";  // after "PRT="
  std::string baud_text = "9600";  // after "BAUDR="
  bool voice = true;
  bool debug = false;
};

// The settings of the file at path; nullopt when it cannot be read.
std::optional<Settings> read_settings(const std::string& path);
// The file's bytes.
std::string settings_bytes(const Settings& settings);
// The port text for the panel's port number.
std::string port_text(int number);

enum class SaveResult { saved, cannot_link, cannot_write };

// Makes the COMn link the port needs (when link is given and needs one), then
// replaces the file at path atomically. Nothing is written when the file
// cannot be replaced (it is read-only, or the folder is), nor when the link
// cannot be made.
SaveResult save_settings(PortFinder& finder, const std::string& path, const Settings& settings,
                         const NumberedPort* link);

}  // namespace talvaro::setup
