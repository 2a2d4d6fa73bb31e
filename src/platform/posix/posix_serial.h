#pragma once
// Serial ports on POSIX terminal devices.
//
// Port N is the terminal named COMN in the working folder when that name
// exists (usually a symbolic link to /dev/ttyUSB0 or a pseudo-terminal),
// otherwise /dev/ttyS(N-1). The device is held exclusively while open, put in
// raw mode with the flow-control bits left as found, and given back with the
// settings it had when it was opened. Reads never block beyond their time-out,
// writes give up after a short time limit, and a line that has been hung up
// behaves as a closed port.

#include <memory>
#include <string>

#include "core/platform.h"

namespace talvaro {

class PosixSerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialDevice> open(int port_number, int baud) override;
};

// Opens the terminal device at path as SerialPorts::open opens port N's.
std::unique_ptr<SerialDevice> open_serial_device(const std::string& path, int baud);

}  // namespace talvaro
