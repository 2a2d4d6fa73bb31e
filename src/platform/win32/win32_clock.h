#pragma once
// The local clock and the program's folder on the Windows API.

#include <string>

#include "core/platform.h"

namespace talvaro {

class Win32Clock final : public Clock {
 public:
  LocalTime local_time() override;
};

// The folder of the running program file; "" when it cannot be told.
std::string program_folder();

}  // namespace talvaro
