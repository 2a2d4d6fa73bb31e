#include "voice/wav.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace talvaro {
namespace {

std::string u16(std::uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string u32(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
          static_cast<char>(v >> 24)};
}
std::string chunk(const std::string& id, const std::string& body) {
  std::string padded = id + u32(static_cast<std::uint32_t>(body.size())) + body;
  if (body.size() % 2 == 1) padded += '\0';
  return padded;
}
std::string fmt_body(int channels, int rate, int bits, std::uint16_t format = 1) {
  const int block = channels * bits / 8;
  return u16(format) + u16(static_cast<std::uint16_t>(channels)) + u32(static_cast<std::uint32_t>(rate)) +
         u32(static_cast<std::uint32_t>(rate * block)) + u16(static_cast<std::uint16_t>(block)) +
         u16(static_cast<std::uint16_t>(bits));
}
std::string extensible_body(int channels, int rate, int bits, bool pcm = true) {
  std::string guid = pcm ? std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16)
                         : std::string("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
  return fmt_body(channels, rate, bits, 0xFFFE) + u16(22) + u16(static_cast<std::uint16_t>(bits)) +
         u32(channels == 2 ? 3 : 4) + guid;
}
std::string riff(const std::string& chunks) {
  return "RIFF" + u32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

std::optional<Sound> parse(const std::string& bytes) {
  const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  return parse_wav(data);
}

TEST(WavParse, ReadsPcmShapesPastOtherChunksAndCountsOnlyTheBytesPresent) {
  const auto mono16 = parse(testing::tiny_wav(8, 8000));
  ASSERT_TRUE(mono16);
  EXPECT_EQ(mono16->channels, 1);
  EXPECT_EQ(mono16->sample_rate, 8000);
  EXPECT_EQ(mono16->bits_per_sample, 16);
  EXPECT_DOUBLE_EQ(mono16->seconds(), 8.0 / 8000);

  const auto stereo8 = parse(riff(chunk("fmt ", fmt_body(2, 11025, 8)) + chunk("data", std::string(10, '\x80'))));
  ASSERT_TRUE(stereo8);
  EXPECT_EQ(stereo8->channels, 2);
  EXPECT_EQ(stereo8->bits_per_sample, 8);
  EXPECT_EQ(stereo8->samples, std::vector<std::uint8_t>(10, 0x80));

  const std::string fmt = chunk("fmt ", fmt_body(1, 22050, 16));
  const std::string data = "\x01\x02\x03\x04";
  struct Case {
    const char* what;
    std::string bytes;
    std::size_t samples;
  };
  std::string lying_riff = riff(fmt + chunk("data", data));
  lying_riff.replace(4, 4, u32(0xFFFFFFFFU));
  for (const Case& c : {
           Case{"extensible", riff(chunk("fmt ", extensible_body(2, 22050, 16)) + chunk("data", std::string(8, 'x'))),
                8},
           // An odd-length chunk is followed by a pad byte the walk must skip.
           Case{"odd chunks",
                riff(chunk("LIST", "abc") + fmt + chunk("odd ", std::string(5, 'z')) + chunk("data", data)), 4},
           Case{"long fmt", riff(chunk("fmt ", fmt_body(1, 22050, 16) + u16(0)) + chunk("data", data)), 4},
           Case{"trailing chunk", riff(fmt + chunk("data", data) + chunk("LIST", "x")), 4},
           // 101 of 1000 claimed bytes present: 100 make whole stereo frames.
           Case{"truncated", riff(chunk("fmt ", fmt_body(2, 22050, 16))) + "data" + u32(1000) + std::string(101, 'a'),
                100},
           Case{"absurd claim", riff(fmt) + "data" + u32(0xFFFFFFFFU) + std::string(6, 'a'), 6},
           Case{"lying RIFF size", lying_riff, 4},
           Case{"empty data", riff(fmt + chunk("data", "")), 0},
       }) {
    const auto sound = parse(c.bytes);
    ASSERT_TRUE(sound) << c.what;
    EXPECT_EQ(sound->samples.size(), c.samples) << c.what;
  }
}

TEST(WavParse, RefusesWhatIsNotPlayablePcm) {
  const std::string fmt = chunk("fmt ", fmt_body(1, 22050, 16));
  const std::string data = chunk("data", "abcd");
  const std::vector<std::pair<const char*, std::string>> refused = {
      {"empty", ""},
      {"only RIFF", "RIFF"},
      {"not RIFF", "RIFX" + riff(fmt + data).substr(4)},
      {"not WAVE", riff(fmt + data).replace(8, 4, "AVI ")},
      {"no fmt", riff(data)},
      {"no data", riff(fmt)},
      {"float", riff(chunk("fmt ", fmt_body(1, 22050, 32, 3)) + data)},
      {"24 bits", riff(chunk("fmt ", fmt_body(1, 22050, 24)) + data)},
      {"3 channels", riff(chunk("fmt ", fmt_body(3, 22050, 16)) + data)},
      {"0 channels", riff(chunk("fmt ", fmt_body(0, 22050, 16)) + data)},
      {"rate 0", riff(chunk("fmt ", fmt_body(1, 0, 16)) + data)},
      {"rate absurd", riff(chunk("fmt ", fmt_body(1, 100000000, 16)) + data)},
      {"block align wrong", riff(chunk("fmt ", fmt_body(1, 22050, 16).replace(12, 2, u16(7))) + data)},
      {"fmt too short", riff(chunk("fmt ", fmt_body(1, 22050, 16).substr(0, 14)) + data)},
      {"fmt cut by the end", riff("fmt " + u32(16) + fmt_body(1, 22050, 16).substr(0, 10))},
      {"extensible float", riff(chunk("fmt ", extensible_body(1, 22050, 16, false)) + data)},
      {"extensible too short", riff(chunk("fmt ", extensible_body(1, 22050, 16).substr(0, 30)) + data)},
      {"huge chunk hides the data", riff(fmt + "junk" + u32(0xFFFFFFF0U) + data)},
  };
  for (const auto& [what, bytes] : refused) EXPECT_FALSE(parse(bytes)) << what;
}

}  // namespace
}  // namespace talvaro
