#include "platform/posix/posix_port_finder.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/posix/posix_serial.h"

namespace talvaro {

namespace fs = std::filesystem;

namespace {

constexpr int highest_folder_port = 9;

struct DeviceKind {
  std::string_view prefix;
  bool usb;
  bool uart_check;  // listed only when the driver reports a UART
};

constexpr std::array<DeviceKind, 3> device_kinds{{
    {"ttyS", false, true},
    {"ttyUSB", true, false},
    {"ttyACM", true, false},
}};

// What a name leads to, for telling two names of one device apart; the name
// itself (made absolute) when it leads nowhere.
std::string identity_of(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::canonical(path, error);
  if (error) resolved = fs::absolute(path, error).lexically_normal();
  return resolved.string();
}

// The number after the prefix ("ttyS12" -> 12); -1 when the rest is not digits.
int number_after(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 4) return -1;
  int number = 0;
  for (const char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

// A built-in port node exists for every possible UART; only those the driver
// knows a UART type for are there.
bool is_uart(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return uart;
}

// The by-id names, by the device each leads to.
std::map<std::string, std::string> stable_names(const fs::path& device_folder) {
  std::map<std::string, std::string> names;
  std::error_code error;
  fs::directory_iterator it(device_folder / "serial" / "by-id", error);
  for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
    names.emplace(identity_of(it->path()), it->path().string());
  }
  return names;
}

// The panel opens COMn from the working folder whenever the name exists in
// any form, so whatever has the name is port n: a link or a device, and also
// anything else, which then cannot be opened (and so is said) and keeps its
// number from being given to another port.
bool exists_in_any_form(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

PosixPortFinder::PosixPortFinder(std::string device_folder, std::string folder)
    : device_folder_(std::move(device_folder)), folder_(std::move(folder)) {}

std::vector<PortCandidate> PosixPortFinder::find_ports() {
  std::vector<PortCandidate> ports;
  const auto by_id = stable_names(device_folder_);
  std::vector<PortCandidate> devices;
  std::error_code error;
  fs::directory_iterator it(device_folder_, error);
  for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    for (const DeviceKind& kind : device_kinds) {
      const int number = number_after(name, kind.prefix);
      if (number < 0 || (kind.uart_check && !is_uart(it->path()))) continue;
      PortCandidate port;
      port.identity = identity_of(it->path());
      const auto stable = by_id.find(port.identity);
      port.device = stable != by_id.end() ? stable->second : it->path().string();
      port.number = kind.uart_check ? number + 1 : 0;
      port.usb = kind.usb;
      devices.push_back(port);
    }
  }
  std::sort(devices.begin(), devices.end(), [](const PortCandidate& a, const PortCandidate& b) {
    return std::pair(a.usb, a.device) < std::pair(b.usb, b.device);
  });
  for (int n = 1; n <= highest_folder_port; ++n) {
    const fs::path name = fs::path(folder_) / ("COM" + std::to_string(n));
    if (!exists_in_any_form(name)) continue;
    PortCandidate port;
    port.number = n;
    port.device = "COM" + std::to_string(n);
    port.identity = identity_of(name);
    port.in_folder = true;
    // An adapter linked by hand is still an adapter.
    const auto same = std::find_if(devices.begin(), devices.end(),
                                   [&](const PortCandidate& d) { return d.identity == port.identity; });
    port.usb = same != devices.end() && same->usb;
    ports.push_back(port);
  }
  ports.insert(ports.end(), devices.begin(), devices.end());
  return ports;
}

std::unique_ptr<SerialDevice> PosixPortFinder::open_device(const std::string& device, int baud) {
  const bool in_folder = device.starts_with("COM");
  return open_serial_device(in_folder ? (fs::path(folder_) / device).string() : device, baud);
}

bool PosixPortFinder::link_port(int number, const std::string& device) {
  const std::string name = "COM" + std::to_string(number);
  const fs::path link = fs::path(folder_) / name;
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) return false;
  // The new link is made beside the old one and renamed over it, so the name
  // never leads nowhere and never to a half-made link.
  const fs::path temp = fs::path(folder_) / (name + ".tmp");
  if (::unlink(temp.c_str()) != 0 && errno != ENOENT) return false;
  if (::symlink(device.c_str(), temp.c_str()) != 0) return false;
  if (::rename(temp.c_str(), link.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace talvaro
