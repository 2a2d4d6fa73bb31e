#pragma once
// Local date and time from the C library.

#include "core/platform.h"

namespace talvaro {

class PosixClock final : public Clock {
 public:
  LocalTime local_time() override;
};

}  // namespace talvaro
