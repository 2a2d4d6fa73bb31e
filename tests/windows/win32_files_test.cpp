// The file calls on Windows: what the POSIX mode bits and links do on Linux,
// the read-only attribute and the device names do here. And the port
// finder's reading of Windows' port names.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/files.h"
#include "platform/win32/win32_ports.h"

namespace talvaro {
namespace {

namespace fs = std::filesystem;

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(Win32Files, ReadOnlyBankFilesAreNeverReplacedAndOthersAreWhole) {
  const fs::path dir = fs::temp_directory_path() / ("talvaro-files-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(dir);
  const std::string bank = (dir / "bank06.dat").string();
  const std::string temp = bank + ".tmp";

  // A new file, then a replacement; CR LF and NUL kept byte for byte.
  const std::string first("old\r\n9999\r\n", 11);
  const std::string second("new\r\n\0\r\n9999\r\n", 14);
  ASSERT_TRUE(files::replace_file(bank, temp, first));
  EXPECT_TRUE(files::may_write(bank));
  { std::ofstream leftover(temp, std::ios::binary); }
  ASSERT_TRUE(files::replace_file(bank, temp, second));
  EXPECT_EQ(read_bytes(bank), second);
  EXPECT_FALSE(fs::exists(temp));

  // The read-only attribute: not writable, not replaced, no temporary left.
  ASSERT_TRUE(SetFileAttributesA(bank.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(files::may_write(bank));
  EXPECT_FALSE(files::replace_file(bank, temp, first));
  EXPECT_EQ(read_bytes(bank), second);
  EXPECT_FALSE(fs::exists(temp));
  SetFileAttributesA(bank.c_str(), FILE_ATTRIBUTE_NORMAL);

  // Binary streams; devices and folders are not regular files.
  std::FILE* file = files::open_regular(bank, files::OpenFor::append, files::Links::refuse);
  ASSERT_NE(file, nullptr);
  std::fputs("end\r\n", file);
  std::fclose(file);
  EXPECT_EQ(read_bytes(bank), second + "end\r\n");
  for (const std::string& name : {std::string("NUL"), std::string("CON"), dir.string()}) {
    EXPECT_EQ(files::open_regular(name, files::OpenFor::read, files::Links::follow), nullptr) << name;
    EXPECT_FALSE(files::may_write(name)) << name;
  }
  EXPECT_TRUE(files::remove_name(bank));
  EXPECT_TRUE(files::remove_name(bank));
  fs::remove_all(dir);
}

TEST(Win32Ports, NamesNumbersAndAdaptersAndWhatDoesNotOpen) {
  const std::pair<const char*, int> names[] = {{"COM1", 1},  {"com12", 12}, {"COM256", 256}, {"COM257", 0},
                                               {"COM0", 0},  {"COM01", 0},  {"COM", 0},      {"LPT1", 0},
                                               {"COM1:", 0}, {"XCOM1", 0},  {"COM9999", 0}};
  for (const auto& [name, number] : names) EXPECT_EQ(com_port_number(name), number) << name;
  EXPECT_TRUE(plug_in_driver("\\Device\\VCP0") && plug_in_driver("\\Device\\USBSER000"));
  EXPECT_FALSE(plug_in_driver("\\Device\\Serial0"));
  Win32PortFinder finder;
  for (const char* device : {"", "NUL", "C:\\windows\\win.ini"}) {
    EXPECT_EQ(finder.open_device(device, 9600), nullptr) << device;
  }
}

}  // namespace
}  // namespace talvaro
