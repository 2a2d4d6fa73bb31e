// The WAV reader on arbitrary file contents: malformed clips must be refused,
// never read out of bounds, and a length must come from the bytes present.
#include <cstddef>
#include <cstdint>
#include <span>

#include "voice/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto sound = talvaro::parse_wav(std::span<const std::uint8_t>(data, size));
  if (sound && sound->samples.size() > size) __builtin_trap();
  return 0;
}
