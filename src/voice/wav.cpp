#include "voice/wav.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace talvaro {

namespace {

constexpr std::uint16_t format_pcm = 1;
constexpr std::uint16_t format_extensible = 0xFFFE;
constexpr int lowest_sample_rate = 1000;
constexpr int highest_sample_rate = 192000;

// The PCM sub-format GUID of an extensible header, as stored in the file.
constexpr std::array<std::uint8_t, 16> pcm_subformat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Every read goes through this view, which checks the bounds itself.
class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t size() const { return bytes_.size(); }
  bool has(std::size_t offset, std::size_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::uint16_t u16(std::size_t offset) const {
    if (!has(offset, 2)) return 0;
    return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
  }
  std::uint32_t u32(std::size_t offset) const {
    if (!has(offset, 4)) return 0;
    return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
  }
  bool tag(std::size_t offset, std::string_view name) const {
    if (!has(offset, name.size())) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (bytes_[offset + i] != static_cast<std::uint8_t>(name[i])) return false;
    }
    return true;
  }
  bool equal(std::size_t offset, std::span<const std::uint8_t> expected) const {
    return has(offset, expected.size()) && std::equal(expected.begin(), expected.end(), bytes_.subspan(offset).begin());
  }
  std::span<const std::uint8_t> part(std::size_t offset, std::size_t count) const {
    return has(offset, count) ? bytes_.subspan(offset, count) : std::span<const std::uint8_t>();
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct Format {
  int channels = 0;
  int sample_rate = 0;
  int bits_per_sample = 0;
};

// Reads a "fmt " chunk body of the given present length. nullopt when it is
// not plain PCM of a shape we can play.
std::optional<Format> read_format(const Bytes& bytes, std::size_t body, std::size_t present) {
  if (present < 16) return std::nullopt;
  const std::uint16_t tag = bytes.u16(body);
  if (tag == format_extensible) {
    // cbSize (22) then valid bits, channel mask and the sub-format GUID.
    if (present < 40 || bytes.u16(body + 16) < 22) return std::nullopt;
    if (!bytes.equal(body + 24, pcm_subformat)) return std::nullopt;
  } else if (tag != format_pcm) {
    return std::nullopt;
  }
  Format format;
  format.channels = bytes.u16(body + 2);
  const std::uint32_t rate = bytes.u32(body + 4);
  const std::uint16_t block_align = bytes.u16(body + 12);
  format.bits_per_sample = bytes.u16(body + 14);
  if (format.channels != 1 && format.channels != 2) return std::nullopt;
  if (format.bits_per_sample != 8 && format.bits_per_sample != 16) return std::nullopt;
  if (rate < lowest_sample_rate || rate > highest_sample_rate) return std::nullopt;
  format.sample_rate = static_cast<int>(rate);
  if (block_align != format.channels * format.bits_per_sample / 8) return std::nullopt;
  return format;
}

}  // namespace

std::optional<Sound> parse_wav(std::span<const std::uint8_t> input) {
  const Bytes bytes(input);
  if (!bytes.tag(0, "RIFF") || !bytes.tag(8, "WAVE")) return std::nullopt;
  // The RIFF size is not trusted: the chunks are walked over the bytes present.
  std::optional<Format> format;
  bool format_seen = false;
  std::span<const std::uint8_t> data;
  bool data_seen = false;
  std::size_t offset = 12;
  while (bytes.has(offset, 8) && !(format_seen && data_seen)) {
    const std::size_t body = offset + 8;
    const std::uint64_t claimed = bytes.u32(offset + 4);
    const std::size_t present = static_cast<std::size_t>(std::min<std::uint64_t>(claimed, bytes.size() - body));
    if (bytes.tag(offset, "fmt ") && !format_seen) {
      format_seen = true;
      format = read_format(bytes, body, present);
      if (!format) return std::nullopt;
    } else if (bytes.tag(offset, "data") && !data_seen) {
      data_seen = true;
      data = bytes.part(body, present);
    }
    if (present < claimed) break;  // the chunk runs past the end of the file
    // Chunks of odd length are followed by one pad byte.
    const std::uint64_t next = body + claimed + (claimed & 1U);
    if (next > bytes.size()) break;
    offset = static_cast<std::size_t>(next);
  }
  if (!format || !data_seen) return std::nullopt;

  Sound sound;
  sound.channels = format->channels;
  sound.sample_rate = format->sample_rate;
  sound.bits_per_sample = format->bits_per_sample;
  const std::size_t frame = static_cast<std::size_t>(format->channels * format->bits_per_sample / 8);
  const std::size_t whole = data.size() - data.size() % frame;
  sound.samples.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(whole));
  return sound;
}

}  // namespace talvaro
