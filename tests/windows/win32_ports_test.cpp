// The port finder's reading of Windows' names, and the one open path refusing
// what is not a serial port.

#include <gtest/gtest.h>

#include "platform/win32/win32_ports.h"

namespace talvaro {
namespace {

TEST(Win32Ports, NamesNumbersAndAdaptersAndWhatDoesNotOpen) {
  const std::pair<const char*, int> names[] = {{"COM1", 1},  {"com12", 12}, {"COM256", 256}, {"COM257", 0},
                                               {"COM0", 0},  {"COM01", 0},  {"COM", 0},      {"LPT1", 0},
                                               {"COM1:", 0}, {"XCOM1", 0},  {"COM9999", 0}};
  for (const auto& [name, number] : names) EXPECT_EQ(com_port_number(name), number) << name;
  for (const char* adapter :
       {"\\Device\\VCP0", "\\Device\\USBSER000", "\\Device\\Silabser0", "\\Device\\ProlificSerial0"}) {
    EXPECT_TRUE(plug_in_driver(adapter)) << adapter;
  }
  EXPECT_FALSE(plug_in_driver("\\Device\\Serial0"));
  Win32PortFinder finder;
  EXPECT_TRUE(finder.link_port(3, "COM3"));
  for (const char* device : {"", "NUL", "C:\\windows\\win.ini"}) {
    EXPECT_EQ(finder.open_device(device, 9600), nullptr) << device;
  }
}

}  // namespace
}  // namespace talvaro
