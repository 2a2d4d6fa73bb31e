#pragma once
// Reading WAV files (RIFF, PCM) into a Sound. Malformed data never crashes:
// it is refused, and the caller treats the clip as missing.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/platform.h"

namespace talvaro {

// Parses the bytes of a WAV file. The length comes from the sample bytes
// actually present, never from a header's claim alone. nullopt when the data
// is not a playable PCM WAV (8 or 16 bits, 1 or 2 channels).
std::optional<Sound> parse_wav(std::span<const std::uint8_t> bytes);

}  // namespace talvaro
