#pragma once
// Clip playback with PlaySoundA from memory: the decoded clip is given a WAV
// header and handed over as one image. A new clip stops the one sounding. A
// waiting clip returns when it has been played, and never before its length
// has passed: without a sound device it still takes its length, so pauses
// keep theirs.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/platform.h"

namespace talvaro {

// The clip as a WAV file image (RIFF header, format, data); empty when the
// clip cannot be played (a shape no sound device takes, or no whole frame).
std::vector<std::uint8_t> wav_image(const Sound& sound);

class Win32Audio final : public Audio {
 public:
  Win32Audio() = default;
  ~Win32Audio() override;
  Win32Audio(const Win32Audio&) = delete;
  Win32Audio& operator=(const Win32Audio&) = delete;

  void play(std::shared_ptr<const Sound> sound, bool wait) override;
  void stop() override;

 private:
  // The image sounding now; it must stay in place while it plays.
  std::vector<std::uint8_t> playing_;
};

}  // namespace talvaro
