#include "platform/posix/posix_clock.h"

#include <time.h>

namespace talvaro {

LocalTime PosixClock::local_time() {
  const time_t now = time(nullptr);
  struct tm parts {};
  localtime_r(&now, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace talvaro
