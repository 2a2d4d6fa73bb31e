#pragma once
// The serial ports Windows lists: the SERIALCOMM key of the registry (what
// the port drivers enter) merged with the COMn names of the DOS device
// namespace (which also holds ports no driver entered there). Windows names
// the ports itself, so there is no link to make in the working folder.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace talvaro {

// n for "COMn" (any letter case, n from 1 to 256), else 0.
int com_port_number(std::string_view name);

// Whether a driver's device name ("\Device\VCP0", "\Device\USBSER000")
// belongs to a USB or other plug-in adapter.
bool plug_in_driver(std::string_view driver_device);

class Win32PortFinder final : public PortFinder {
 public:
  std::vector<PortCandidate> find_ports() override;
  std::unique_ptr<SerialDevice> open_device(const std::string& device, int baud) override;
  bool link_port(int number, const std::string& device) override;
};

}  // namespace talvaro
