#include "voice/wav.h"
namespace talvaro {
// PLACEHOLDER: replaced by the WAV reader.
std::optional<Sound> parse_wav(std::span<const std::uint8_t>) { return std::nullopt; }
}  // namespace talvaro
