#include "platform/sdl/sdl_audio.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

namespace talvaro {

namespace {

constexpr int device_rate = 44100;
constexpr Uint8 device_channels = 2;
// 512 frames at 44.1 kHz is about 12 ms: a clip starts almost at once.
constexpr Uint16 device_buffer_frames = 512;
constexpr Uint32 drain_poll_ms = 5;
// The device stays open this long after the last clip, and after a key
// press: over the wait of a key for its tick and between the clips of keys
// typed one after the other, so they do not open it each time.
constexpr std::chrono::seconds linger{1};
// A device that stops taking samples cannot hold the program longer than
// the clip's length and this much more.
constexpr double drain_margin_seconds = 1.0;
constexpr int lowest_rate = 1000;
constexpr int highest_rate = 384000;
constexpr int most_channels = 8;

SDL_AudioDeviceID open_output(bool audio_ready, SDL_AudioSpec& obtained) {
  if (!audio_ready) return 0;
  SDL_AudioSpec wanted{};
  wanted.freq = device_rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = device_channels;
  wanted.samples = device_buffer_frames;
  // It opens paused; it is started once a clip has been queued on it.
  return SDL_OpenAudioDevice(
      nullptr, 0, &wanted, &obtained,
      SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_FORMAT_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
}

// Sounds of other shapes are unplayable, like a missing file.
bool playable(const Sound& sound) {
  const int bits = sound.bits_per_sample;
  return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && sound.channels >= 1 &&
         sound.channels <= most_channels && sound.sample_rate >= lowest_rate && sound.sample_rate <= highest_rate;
}

// 24-bit samples widened to 32 bits, which SDL converts from.
std::vector<Uint8> widen_24_bit(const std::vector<std::uint8_t>& samples) {
  std::vector<Uint8> wide;
  wide.reserve(samples.size() / 3 * 4);
  for (std::size_t i = 0; i + 3 <= samples.size(); i += 3) {
    wide.push_back(0);
    wide.insert(wide.end(), samples.begin() + static_cast<std::ptrdiff_t>(i),
                samples.begin() + static_cast<std::ptrdiff_t>(i + 3));
  }
  return wide;
}

// The sound's whole frames in the device's format; empty when SDL cannot
// convert them.
std::vector<Uint8> convert(const Sound& sound, const SDL_AudioSpec& device) {
  std::vector<Uint8> wide;
  const std::vector<std::uint8_t>* source = &sound.samples;
  int bytes_per_sample = sound.bits_per_sample / 8;
  SDL_AudioFormat format = AUDIO_S32LSB;
  switch (sound.bits_per_sample) {
    case 8:
      format = AUDIO_U8;
      break;
    case 16:
      format = AUDIO_S16LSB;
      break;
    case 24:
      wide = widen_24_bit(sound.samples);
      source = &wide;
      bytes_per_sample = 4;
      break;
    default:
      break;
  }
  const std::size_t frame = static_cast<std::size_t>(sound.channels) * static_cast<std::size_t>(bytes_per_sample);
  const std::size_t bytes = source->size() - source->size() % frame;
  if (bytes == 0 || bytes > static_cast<std::size_t>(INT_MAX)) return {};

  const sdl::AudioStreamPtr stream(SDL_NewAudioStream(format, static_cast<Uint8>(sound.channels), sound.sample_rate,
                                                      device.format, device.channels, device.freq));
  if (!stream) return {};
  if (SDL_AudioStreamPut(stream.get(), source->data(), static_cast<int>(bytes)) != 0) return {};
  if (SDL_AudioStreamFlush(stream.get()) != 0) return {};
  const int available = SDL_AudioStreamAvailable(stream.get());
  if (available <= 0) return {};
  std::vector<Uint8> converted(static_cast<std::size_t>(available));
  const int taken = SDL_AudioStreamGet(stream.get(), converted.data(), available);
  if (taken <= 0) return {};
  converted.resize(static_cast<std::size_t>(taken));
  return converted;
}

void sleep_for_seconds(double seconds) {
  if (seconds > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace

// The device opened here serves the first clips; it closes at the first
// wait for events with nothing sounding.
SdlAudio::SdlAudio() { device_available_ = open_device(); }

SdlAudio::~SdlAudio() { stop(); }

bool SdlAudio::open_device() {
  if (device_open()) return true;
  const SDL_AudioDeviceID id = open_output(subsystem_.ok(), format_);
  if (id == 0) return false;
  device_.reset(id);
  return true;
}

void SdlAudio::play(std::shared_ptr<const Sound> sound, bool wait) {
  stop();
  if (!sound || !playable(*sound)) return;
  const double seconds = sound->seconds();
  const std::vector<Uint8> converted = has_device() && open_device() ? convert(*sound, format_) : std::vector<Uint8>{};
  if (converted.empty() || SDL_QueueAudio(device_.id(), converted.data(), static_cast<Uint32>(converted.size())) != 0) {
    // Silent, but a waiting clip keeps its length: it may be a pause.
    if (wait) sleep_for_seconds(seconds);
    return;
  }
  SDL_PauseAudioDevice(device_.id(), 0);
  const auto started = std::chrono::steady_clock::now();
  playing_ = std::move(sound);
  silent_since_ = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double>(seconds) + device_buffer_time());
  if (!wait) return;

  // Keys and ticks that arrive meanwhile wait in the event queue.
  const auto give_up = started + std::chrono::duration<double>(seconds + drain_margin_seconds);
  while (SDL_GetQueuedAudioSize(device_.id()) > 0) {
    if (std::chrono::steady_clock::now() >= give_up) {
      stop();
      return;
    }
    SDL_Delay(drain_poll_ms);
  }
  // SDL's queue is empty once the device has taken the last samples; they
  // sound during the device's buffer after that. A clip is over when it has
  // been heard to its end, and never before its own length: it may be a pause.
  const auto played_out = std::chrono::steady_clock::now() + device_buffer_time();
  std::this_thread::sleep_until(std::max(played_out, started + std::chrono::duration<double>(seconds)));
  playing_.reset();
  silent_since_ = std::chrono::steady_clock::now();
}

void SdlAudio::prepare() {
  if (!has_device() || !open_device()) return;
  silent_since_ = std::max(silent_since_, std::chrono::steady_clock::now());
}

void SdlAudio::release_when_silent() {
  if (!device_open()) return;
  if (SDL_GetQueuedAudioSize(device_.id()) > 0 || std::chrono::steady_clock::now() < silent_since_ + linger) return;
  // Closing the device ends its thread.
  device_.reset();
  playing_.reset();
}

std::chrono::duration<double> SdlAudio::device_buffer_time() const {
  if (format_.freq <= 0) return {};
  return std::chrono::duration<double>(static_cast<double>(format_.samples) / format_.freq);
}

void SdlAudio::stop() {
  // The device stays open: another clip usually follows at once.
  if (device_open()) SDL_ClearQueuedAudio(device_.id());
  playing_.reset();
  silent_since_ = std::min(silent_since_, std::chrono::steady_clock::now());
}

}  // namespace talvaro
