#include "link/serial.h"

#include "core/context.h"

namespace talvaro {

namespace {

constexpr int first_port = 1;
constexpr int last_port = 256;

SerialDevice* device(Context& cx, int port) {
  if (port < first_port || port > last_port) return nullptr;
  return cx.ports.devices[static_cast<std::size_t>(port)].get();
}

}  // namespace

int open_port(Context& cx, int port, int baud) {
  if (port < first_port || port > last_port) return 0;
  auto opened = cx.io.serial.open(port, baud);
  if (!opened) return 0;
  cx.ports.devices[static_cast<std::size_t>(port)] = std::move(opened);
  return 1;
}

int set_line_format(Context& cx, int port, int data_bits, int parity, int stop_bits) {
  SerialDevice* dev = device(cx, port);
  if (dev == nullptr) return 0;
  return dev->set_line_format(data_bits, parity, stop_bits) ? 0 : 1;
}

int set_read_timeouts(Context& cx, int port, int multiplier) {
  if (SerialDevice* dev = device(cx, port)) dev->set_read_timeouts(multiplier);
  return 0;
}

int bytes_waiting(Context& cx, int port) {
  SerialDevice* dev = device(cx, port);
  return dev == nullptr ? 0 : dev->bytes_waiting();
}

int read_port(Context& cx, int port, std::string& buffer, int max_count) {
  buffer.clear();
  SerialDevice* dev = device(cx, port);
  if (dev == nullptr || max_count <= 0) return 0;
  buffer.resize(static_cast<std::size_t>(max_count));
  const int count = dev->read(buffer.data(), max_count);
  buffer.resize(static_cast<std::size_t>(count > 0 ? count : 0));
  return count > 0 ? count : 0;
}

int write_port(Context& cx, int port, std::string_view bytes, int count) {
  SerialDevice* dev = device(cx, port);
  if (dev == nullptr || count <= 0) return 0;
  const auto n = std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(count));
  return dev->write(bytes.data(), static_cast<int>(n));
}

int close_port(Context& cx, int port) {
  if (port >= first_port && port <= last_port) cx.ports.devices[static_cast<std::size_t>(port)].reset();
  return 0;
}

}  // namespace talvaro
