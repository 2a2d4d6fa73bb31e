#include "platform/win32/win32_clock.h"

#include <windows.h>

#include <vector>

namespace talvaro {

LocalTime Win32Clock::local_time() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string program_folder() {
  // Long paths need a larger buffer than MAX_PATH; the call says so by
  // filling the buffer to the brim.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::vector<char> name(size);
    const DWORD length = GetModuleFileNameA(nullptr, name.data(), size);
    if (length == 0) return {};
    if (length < size) {
      std::string path(name.data(), length);
      const auto slash = path.find_last_of("\\/");
      return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
  }
  return {};
}

}  // namespace talvaro
