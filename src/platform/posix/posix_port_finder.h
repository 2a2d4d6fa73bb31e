#pragma once
// The serial ports of a Linux system, and the COMn links of the working
// folder: /dev/ttyS* that are real UARTs (the driver reports a UART type),
// /dev/ttyUSB* and /dev/ttyACM* (adapters), each named by its
// /dev/serial/by-id link when one leads to it; and every COM1 to COM9 in the
// working folder (a link or a device; anything else of that name is listed
// too, as the panel would take it for that port, and fails to open).

#include <string>

#include "core/platform.h"

namespace talvaro {

class PosixPortFinder final : public PortFinder {
 public:
  // device_folder: where the devices are ("/dev"); folder: the working folder.
  explicit PosixPortFinder(std::string device_folder = "/dev", std::string folder = ".");
  std::vector<PortCandidate> find_ports() override;
  std::unique_ptr<SerialDevice> open_device(const std::string& device, int baud) override;
  // COM<number> in the working folder becomes a symbolic link to device; an
  // old link is replaced at once (a new link renamed over it), anything else
  // of that name is left alone and the call fails.
  bool link_port(int number, const std::string& device) override;

 private:
  std::string device_folder_;
  std::string folder_;
};

}  // namespace talvaro
