#pragma once
// The ports the setup offers, numbered as the panel reaches them.

#include <vector>

#include "core/platform.h"

namespace talvaro::setup {

// The panel takes the last character of PRT=COMn, so it reaches ports 1 to 9.
inline constexpr int highest_port = 9;

struct NumberedPort {
  PortCandidate port;  // number: 1 to highest_port
  // The panel reaches the port by its number only through a COMn link that
  // is not there yet (an adapter, or a built-in port whose own number is
  // taken by a link in the working folder).
  bool needs_link = false;
};

// Numbers the ports found: each device once (by identity, a link in the
// working folder standing for the device it leads to); a link in the
// working folder keeps its number, a built-in port its own number when no
// link has it; every other port gets the lowest free number. Ports whose
// number would be above highest_port are not offered. Sorted by number.
std::vector<NumberedPort> number_ports(const std::vector<PortCandidate>& found);

}  // namespace talvaro::setup
