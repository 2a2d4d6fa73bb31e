#include "setup/ports.h"

#include <algorithm>
#include <array>
#include <optional>

namespace talvaro::setup {

namespace {

// The same device found under several names becomes one port: a working-
// folder link first (the lowest number), and an adapter stays an adapter
// whichever name is kept.
std::vector<PortCandidate> one_per_device(const std::vector<PortCandidate>& found) {
  std::vector<PortCandidate> ports;
  for (const PortCandidate& candidate : found) {
    auto same = std::find_if(ports.begin(), ports.end(),
                             [&](const PortCandidate& kept) { return kept.identity == candidate.identity; });
    if (same == ports.end()) {
      ports.push_back(candidate);
      continue;
    }
    const bool usb = same->usb || candidate.usb;
    const bool better = candidate.in_folder && (!same->in_folder || candidate.number < same->number);
    if (better) *same = candidate;
    same->usb = usb;
  }
  return ports;
}

std::optional<int> lowest_free(const std::array<bool, highest_port + 1>& taken) {
  for (int n = 1; n <= highest_port; ++n) {
    if (!taken[static_cast<std::size_t>(n)]) return n;
  }
  return std::nullopt;
}

bool in_range(int number) { return number >= 1 && number <= highest_port; }

}  // namespace

std::vector<NumberedPort> number_ports(const std::vector<PortCandidate>& found) {
  const std::vector<PortCandidate> ports = one_per_device(found);
  std::array<bool, highest_port + 1> taken{};
  std::vector<NumberedPort> numbered;
  auto take = [&](const PortCandidate& port, int number, bool needs_link) {
    taken[static_cast<std::size_t>(number)] = true;
    PortCandidate copy = port;
    copy.number = number;
    numbered.push_back({copy, needs_link});
  };
  // Three passes, in order of precedence: links in the working folder, built-in
  // ports on their own numbers, then the rest on the free numbers.
  std::vector<const PortCandidate*> rest;
  for (const PortCandidate& port : ports) {
    if (port.in_folder && in_range(port.number) && !taken[static_cast<std::size_t>(port.number)]) {
      take(port, port.number, false);
    }
  }
  for (const PortCandidate& port : ports) {
    // A port with a number of its own above the highest stays out of reach.
    if (port.in_folder || port.number > highest_port) continue;
    if (in_range(port.number) && !taken[static_cast<std::size_t>(port.number)]) {
      take(port, port.number, false);
    } else {
      rest.push_back(&port);
    }
  }
  for (const PortCandidate* port : rest) {
    if (const auto number = lowest_free(taken)) take(*port, *number, true);
  }
  std::sort(numbered.begin(), numbered.end(),
            [](const NumberedPort& a, const NumberedPort& b) { return a.port.number < b.port.number; });
  return numbered;
}

}  // namespace talvaro::setup
