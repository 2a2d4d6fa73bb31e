#include "platform/posix/posix_serial.h"

namespace talvaro {

// PLACEHOLDER: replaced by the termios implementation.
std::unique_ptr<SerialDevice> PosixSerialPorts::open(int, int) { return nullptr; }

}  // namespace talvaro
