#include "voice/wav.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

// Little-endian bytes of a value.
std::string le(std::uint32_t v, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}
std::string chunk(const std::string& id, const std::string& body) {
  return id + le(static_cast<std::uint32_t>(body.size()), 4) + body + std::string(body.size() % 2, '\0');
}
std::string fmt(std::uint32_t channels, std::uint32_t rate, std::uint32_t bits, std::uint32_t format = 1) {
  return le(format, 2) + le(channels, 2) + le(rate, 4) + le(rate * channels * bits / 8, 4) +
         le(channels * bits / 8, 2) + le(bits, 2);
}
std::string extensible(std::uint32_t sub_format) {
  return fmt(2, 22050, 16, 0xFFFE) + le(22, 2) + le(16, 2) + le(3, 4) + le(sub_format, 4) +
         std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
}
std::string riff(const std::string& chunks) {
  return "RIFF" + le(static_cast<std::uint32_t>(4 + chunks.size()), 4) + "WAVE" + chunks;
}

// Each row: the file and the sample bytes taken (-1: refused). Only the bytes
// present count, in whole frames; other chunks are walked past, odd ones
// with their pad byte; anything but 8 or 16 bit PCM, one or two channels,
// at a sane rate, is refused.
TEST(WavParse, ReadsPlayablePcmAndRefusesTheRest) {
  const std::string f = chunk("fmt ", fmt(1, 22050, 16)), data = chunk("data", "abcd");
  std::string lying_riff = riff(f + data);
  lying_riff.replace(4, 4, le(0xFFFFFFFFU, 4));
  const std::vector<std::tuple<const char*, std::string, int>> rows = {
      {"stereo 8 bits", riff(chunk("fmt ", fmt(2, 11025, 8)) + chunk("data", std::string(10, '\x80'))), 10},
      {"extensible", riff(chunk("fmt ", extensible(1)) + chunk("data", std::string(8, 'x'))), 8},
      {"odd chunks", riff(chunk("LIST", "abc") + f + chunk("odd ", std::string(5, 'z')) + data), 4},
      {"truncated", riff(chunk("fmt ", fmt(2, 22050, 16))) + "data" + le(1000, 4) + std::string(101, 'a'), 100},
      {"absurd claim", riff(f) + "data" + le(0xFFFFFFFFU, 4) + std::string(6, 'a'), 6},
      {"lying RIFF size", lying_riff, 4},
      {"empty", "", -1},
      {"not RIFF", "RIFX" + riff(f + data).substr(4), -1},
      {"no fmt", riff(data), -1},
      {"float", riff(chunk("fmt ", fmt(1, 22050, 32, 3)) + data), -1},
      {"3 channels", riff(chunk("fmt ", fmt(3, 22050, 16)) + data), -1},
      {"rate absurd", riff(chunk("fmt ", fmt(1, 100000000, 16)) + data), -1},
      {"block align wrong", riff(chunk("fmt ", fmt(1, 22050, 16).replace(12, 2, le(7, 2))) + data), -1},
      {"fmt too short", riff(chunk("fmt ", fmt(1, 22050, 16).substr(0, 14)) + data), -1},
      {"extensible float", riff(chunk("fmt ", extensible(3)) + data), -1},
      {"extensible too short", riff(chunk("fmt ", extensible(1).substr(0, 30)) + data), -1},
      {"huge chunk hides the data", riff(f + "junk" + le(0xFFFFFFF0U, 4) + data), -1},
  };
  for (const auto& [what, bytes, samples] : rows) {
    const auto sound = parse_wav(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(sound ? static_cast<int>(sound->samples.size()) : -1, samples) << what;
  }
  const std::string tiny = testing::tiny_wav(8, 8000);
  const auto mono = parse_wav(std::vector<std::uint8_t>(tiny.begin(), tiny.end()));
  ASSERT_TRUE(mono);
  EXPECT_EQ(std::tuple(mono->channels, mono->sample_rate, mono->bits_per_sample, mono->seconds()),
            std::tuple(1, 8000, 16, 8.0 / 8000));
}

}  // namespace
}  // namespace talvaro
