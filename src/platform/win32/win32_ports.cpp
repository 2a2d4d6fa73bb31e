#include "platform/win32/win32_ports.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_serial.h"

namespace talvaro {

namespace {

// Parts of the device names the drivers of USB and other plug-in serial
// adapters give their ports (FTDI's virtual COM port, the USB modem class,
// Silicon Labs, Prolific, WCH), in capitals.
constexpr std::array plug_in_markers{"USB", "VCP", "SILAB", "PROLIFIC", "CH34", "SERENUM"};

std::string upper(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return result;
}

// One port as the two lists give it: the number, and the driver's device
// name when one of them tells it.
using FoundPorts = std::map<int, std::string>;

void note(FoundPorts& found, int number, const std::string& driver_device) {
  if (number == 0) return;
  std::string& known = found[number];
  if (known.empty()) known = driver_device;
}

// The registry's list: value names are the drivers' device names, the data
// the COMn names.
void read_serialcomm(FoundPorts& found) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return;
  }
  const win32::RegistryKey key(opened);
  for (DWORD index = 0;; ++index) {
    std::array<char, 256> name{};
    std::array<BYTE, 64> data{};
    DWORD name_size = name.size();
    DWORD data_size = data.size() - 1;
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(key.get(), index, name.data(), &name_size, nullptr, &type, data.data(), &data_size);
    // A value too long for a COMn name is not one; the next may be.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) return;
    if (type != REG_SZ) continue;
    const std::string port(reinterpret_cast<const char*>(data.data()));
    note(found, com_port_number(port), std::string(name.data(), name_size));
  }
}

// The DOS device names: every name, NUL-separated, in a buffer grown until
// they fit.
void read_dos_devices(FoundPorts& found) {
  std::string names(1 << 16, '\0');
  DWORD length = 0;
  while ((length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= (1u << 24)) return;
    names.resize(names.size() * 2);
  }
  names.resize(length);
  for (std::size_t start = 0; start < names.size();) {
    const std::size_t end = std::min(names.find('\0', start), names.size());
    const std::string name = names.substr(start, end - start);
    start = end + 1;
    const int number = com_port_number(name);
    if (number == 0) continue;
    std::array<char, 512> target{};
    const bool resolved = QueryDosDeviceA(name.c_str(), target.data(), target.size()) != 0;
    note(found, number, resolved ? std::string(target.data()) : std::string());
  }
}

}  // namespace

int com_port_number(std::string_view name) {
  if (name.size() < 4 || name.size() > 6 || upper(name.substr(0, 3)) != "COM" || name[3] == '0') return 0;
  int number = 0;
  for (const char digit : name.substr(3)) {
    if (digit < '0' || digit > '9') return 0;
    number = number * 10 + (digit - '0');
  }
  return number <= 256 ? number : 0;
}

bool plug_in_driver(std::string_view driver_device) {
  const std::string name = upper(driver_device);
  return std::any_of(plug_in_markers.begin(), plug_in_markers.end(),
                     [&](const char* marker) { return name.find(marker) != std::string::npos; });
}

std::vector<PortCandidate> Win32PortFinder::find_ports() {
  FoundPorts found;
  read_serialcomm(found);
  read_dos_devices(found);
  std::vector<PortCandidate> ports;
  for (const auto& [number, driver_device] : found) {
    const std::string name = "COM" + std::to_string(number);
    ports.push_back({number, name, name, plug_in_driver(driver_device), false});
  }
  return ports;
}

std::unique_ptr<SerialDevice> Win32PortFinder::open_device(const std::string& device, int baud) {
  return open_serial_device(device, baud);
}

bool Win32PortFinder::link_port(int, const std::string&) { return true; }

}  // namespace talvaro
