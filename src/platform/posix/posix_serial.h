#pragma once
// Serial ports on POSIX terminal devices.

#include <memory>

#include "core/platform.h"

namespace talvaro {

class PosixSerialPorts final : public SerialPorts {
 public:
  std::unique_ptr<SerialDevice> open(int port_number, int baud) override;
};

}  // namespace talvaro
