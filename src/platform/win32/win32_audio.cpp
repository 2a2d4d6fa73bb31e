#include "platform/win32/win32_audio.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <chrono>
#include <climits>
#include <string_view>
#include <thread>

namespace talvaro {

namespace {

constexpr int lowest_rate = 1000;
constexpr int highest_rate = 384000;
constexpr int most_channels = 8;
constexpr std::size_t header_bytes = 44;

void put_text(std::vector<std::uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

void put_number(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFU));
}

}  // namespace

std::vector<std::uint8_t> wav_image(const Sound& sound) {
  const int bits = sound.bits_per_sample;
  if ((bits != 8 && bits != 16 && bits != 24 && bits != 32) || sound.channels < 1 || sound.channels > most_channels ||
      sound.sample_rate < lowest_rate || sound.sample_rate > highest_rate) {
    return {};
  }
  const auto frame = static_cast<std::uint32_t>(sound.channels * (bits / 8));
  const std::size_t data = sound.samples.size() - sound.samples.size() % frame;
  if (data == 0 || data > UINT32_MAX - header_bytes) return {};

  std::vector<std::uint8_t> image;
  image.reserve(header_bytes + data);
  put_text(image, "RIFF");
  put_number(image, static_cast<std::uint32_t>(header_bytes - 8 + data), 4);
  put_text(image, "WAVEfmt ");
  put_number(image, 16, 4);
  put_number(image, WAVE_FORMAT_PCM, 2);
  put_number(image, static_cast<std::uint32_t>(sound.channels), 2);
  put_number(image, static_cast<std::uint32_t>(sound.sample_rate), 4);
  put_number(image, static_cast<std::uint32_t>(sound.sample_rate) * frame, 4);
  put_number(image, frame, 2);
  put_number(image, static_cast<std::uint32_t>(bits), 2);
  put_text(image, "data");
  put_number(image, static_cast<std::uint32_t>(data), 4);
  image.insert(image.end(), sound.samples.begin(), sound.samples.begin() + static_cast<std::ptrdiff_t>(data));
  return image;
}

Win32Audio::~Win32Audio() { stop(); }

void Win32Audio::play(std::shared_ptr<const Sound> sound, bool wait) {
  stop();
  if (!sound) return;
  std::vector<std::uint8_t> image = wav_image(*sound);
  if (image.empty()) return;
  const auto started = std::chrono::steady_clock::now();
  const auto* bytes = reinterpret_cast<LPCSTR>(image.data());
  if (wait) {
    PlaySoundA(bytes, nullptr, SND_MEMORY | SND_SYNC | SND_NODEFAULT);
    // Silent, or cut short: a waiting clip keeps its length, it may be a pause.
    std::this_thread::sleep_until(started + std::chrono::duration<double>(sound->seconds()));
    return;
  }
  playing_ = std::move(image);
  if (!PlaySoundA(bytes, nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) playing_.clear();
}

void Win32Audio::stop() {
  // A waiting clip is over when play returns; only one started without
  // waiting can still sound.
  if (playing_.empty()) return;
  PlaySoundA(nullptr, nullptr, 0);
  playing_.clear();
}

}  // namespace talvaro
