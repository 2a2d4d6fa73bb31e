#pragma once
// Serial ports on the Windows communications API. Port N is \\.\COMN, so
// COM10 and above open too. The port is held exclusively while open, set up
// through its DCB, read with time-outs that return at once with what has
// arrived, and given back with the settings and time-outs found at the open.
// A port that fails a call (a USB adapter pulled out) behaves as a closed
// port from then on: nothing waits and nothing spins.

#include <memory>
#include <string>

#include "core/platform.h"

namespace talvaro {

// Opens the port Windows names device ("COM3", also "COM12") as
// \\.\<device>, as Win32SerialPorts::open does by number; nullptr when it
// is not a serial port or cannot be opened or set up.
std::unique_ptr<SerialDevice> open_serial_device(const std::string& device, int baud);

class Win32SerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialDevice> open(int port_number, int baud) override;
};

}  // namespace talvaro
