#pragma once
// The open serial ports, by number 1 to 256 (the link layer works on them).

#include <array>
#include <memory>

#include "core/platform.h"

namespace talvaro {

struct PortTable {
  std::array<std::unique_ptr<SerialDevice>, 257> devices;  // index 0 unused
};

}  // namespace talvaro
