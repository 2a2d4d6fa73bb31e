#include "platform/win32/win32_serial.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/win32_handles.h"

namespace talvaro {

namespace {

// How long one write may wait for the driver to take bytes (XOFF received,
// CTS low) before it gives up and reports what was taken.
constexpr DWORD write_time_limit_ms = 200;
// Longest gap between two received bytes that a waiting read sits out.
constexpr DWORD read_interval_limit_ms = 1000;
// Per-byte read time-out in force right after opening.
constexpr int initial_read_multiplier_ms = 5;

// Stop-bits codes as the port layer numbers them: 1 one, anything else two.
BYTE stop_bits_for(int code) { return code == 1 ? ONESTOPBIT : TWOSTOPBITS; }

// Parity codes as the port layer numbers them are Windows' own: none, odd,
// even, mark, space.
bool known_parity(int parity) { return parity >= NOPARITY && parity <= SPACEPARITY; }

COMMTIMEOUTS timeouts_for(int multiplier) {
  COMMTIMEOUTS timeouts{};
  if (multiplier <= 0) {
    // Reads return at once with whatever has arrived.
    timeouts.ReadIntervalTimeout = MAXDWORD;
  } else {
    timeouts.ReadIntervalTimeout = read_interval_limit_ms;
    timeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(multiplier);
  }
  timeouts.WriteTotalTimeoutConstant = write_time_limit_ms;
  return timeouts;
}

class Win32SerialDevice final : public SerialDevice {
 public:
  Win32SerialDevice(win32::File port, const DCB& found, const COMMTIMEOUTS& found_timeouts)
      : port_(std::move(port)), found_(found), found_timeouts_(found_timeouts) {}
  ~Win32SerialDevice() override {
    // Whatever the port still takes: a port that has gone takes nothing.
    SetCommState(port_.get(), &found_);
    SetCommTimeouts(port_.get(), &found_timeouts_);
  }
  Win32SerialDevice(const Win32SerialDevice&) = delete;
  Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

  // The baud rate with 8 data bits, no parity and one stop bit; flow control
  // stays as the driver had it. Reads wait a little per byte until told
  // otherwise.
  bool set_up(int baud) {
    DCB wanted = found_;
    wanted.DCBlength = sizeof wanted;
    wanted.BaudRate = static_cast<DWORD>(baud);
    wanted.fBinary = TRUE;
    wanted.fParity = FALSE;
    wanted.fNull = FALSE;
    wanted.fAbortOnError = FALSE;
    wanted.ByteSize = 8;
    wanted.Parity = NOPARITY;
    wanted.StopBits = ONESTOPBIT;
    if (!apply(wanted)) return false;
    set_read_timeouts(initial_read_multiplier_ms);
    return !gone_;
  }

  bool set_line_format(int data_bits, int parity, int stop_bits) override {
    if (gone_ || data_bits < 5 || data_bits > 8 || !known_parity(parity)) return false;
    DCB wanted{};
    wanted.DCBlength = sizeof wanted;
    if (!GetCommState(port_.get(), &wanted)) return lost();
    wanted.ByteSize = static_cast<BYTE>(data_bits);
    wanted.Parity = static_cast<BYTE>(parity);
    wanted.fParity = parity == NOPARITY ? FALSE : TRUE;
    wanted.StopBits = stop_bits_for(stop_bits);
    return apply(wanted);
  }

  void set_read_timeouts(int multiplier) override {
    if (gone_) return;
    COMMTIMEOUTS timeouts = timeouts_for(multiplier);
    if (!SetCommTimeouts(port_.get(), &timeouts)) lost();
  }

  int bytes_waiting() override {
    if (gone_) return 0;
    // Also clears any line error, which would otherwise hold the input up.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_.get(), &errors, &status)) return lost();
    return static_cast<int>(std::min<DWORD>(status.cbInQue, 0x7FFFFFFF));
  }

  int read(char* buffer, int max_count) override {
    if (gone_ || buffer == nullptr || max_count <= 0) return 0;
    DWORD got = 0;
    if (!ReadFile(port_.get(), buffer, static_cast<DWORD>(max_count), &got, nullptr)) return lost();
    return static_cast<int>(got);
  }

  int write(const char* bytes, int count) override {
    if (gone_ || bytes == nullptr || count <= 0) return 0;
    DWORD written = 0;
    if (!WriteFile(port_.get(), bytes, static_cast<DWORD>(count), &written, nullptr)) lost();
    return static_cast<int>(written);
  }

 private:
  // Sets the DCB and reads it back: a driver may take the call yet keep some
  // of its old settings. Anything short of the wanted result puts the
  // previous settings back and reports failure.
  bool apply(const DCB& wanted) {
    DCB before{};
    before.DCBlength = sizeof before;
    if (!GetCommState(port_.get(), &before)) return lost();
    DCB now{};
    now.DCBlength = sizeof now;
    DCB copy = wanted;
    if (SetCommState(port_.get(), &copy) && GetCommState(port_.get(), &now) && now.BaudRate == wanted.BaudRate &&
        now.ByteSize == wanted.ByteSize && now.Parity == wanted.Parity && now.StopBits == wanted.StopBits) {
      return true;
    }
    SetCommState(port_.get(), &before);
    return false;
  }

  // The port failed a call: from now on it acts as closed.
  int lost() {
    gone_ = true;
    return 0;
  }

  win32::File port_;
  DCB found_;
  COMMTIMEOUTS found_timeouts_;
  bool gone_ = false;
};

}  // namespace

std::unique_ptr<SerialDevice> open_serial_device(const std::string& device, int baud) {
  // Only a bare device name: a path would open something other than a port.
  if (device.empty() || baud <= 0 || device.find_first_of("\\/:") != std::string::npos) return nullptr;
  const std::string name = "\\\\.\\" + device;
  // No sharing: a second opener, in this or another program, is refused.
  win32::File port(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!port) return nullptr;
  if (GetFileType(port.get()) != FILE_TYPE_CHAR) return nullptr;
  DCB found{};
  found.DCBlength = sizeof found;
  COMMTIMEOUTS found_timeouts{};
  if (!GetCommState(port.get(), &found) || !GetCommTimeouts(port.get(), &found_timeouts)) return nullptr;
  // From here on the device owns the port: a failed set-up gives the found
  // settings back and closes it.
  auto opened = std::make_unique<Win32SerialDevice>(std::move(port), found, found_timeouts);
  if (!opened->set_up(baud)) return nullptr;
  return opened;
}

std::unique_ptr<SerialDevice> Win32SerialPorts::open(int port_number, int baud) {
  if (port_number < 1 || port_number > 256) return nullptr;
  return open_serial_device("COM" + std::to_string(port_number), baud);
}

}  // namespace talvaro
