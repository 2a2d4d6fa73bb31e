#pragma once
// Writing a bank file into a receiver memory bank, and the receiver bank check.

#include <string>
#include <string_view>

namespace talvaro {

struct Context;

// The "MX" channel record for one entry.
std::string channel_record(std::string_view bank_letter, int channel, std::string_view frequency,
                           std::string_view mode_line, std::string_view label);
void write_bank_to_receiver(Context& cx);
// Checks that receiver banks A to J hold 90 channels each, resizing those
// that do not; "inv" when the receiver stays silent too long.
void check_receiver_banks(Context& cx);

}  // namespace talvaro
