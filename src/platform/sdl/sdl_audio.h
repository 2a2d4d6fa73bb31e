#pragma once
// Clip playback on SDL's audio output: one clip at a time, converted to the
// device's format and queued on a device with a small buffer, so a clip
// starts within a few tens of milliseconds. A waiting clip returns once the
// device has sounded it to its end, and never before its length has passed;
// without an output device it still takes its length, so pauses keep theirs.

#include <chrono>
#include <memory>

#include "core/platform.h"
#include "platform/sdl/sdl_handles.h"

namespace talvaro {

class SdlAudio final : public Audio {
 public:
  SdlAudio();
  ~SdlAudio() override;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  void play(std::shared_ptr<const Sound> sound, bool wait) override;
  void stop() override;
  // false when no output device could be opened: clips are then silent.
  bool has_device() const { return device_.id() != 0; }

 private:
  // How long the device takes to sound the samples it has taken.
  std::chrono::duration<double> device_buffer_time() const;

  sdl::Subsystem subsystem_{SDL_INIT_AUDIO};
  // The format the device plays; set when it opens.
  SDL_AudioSpec format_{};
  sdl::AudioDevice device_;
  // The clip sounding now, kept alive while it plays.
  std::shared_ptr<const Sound> playing_;
};

}  // namespace talvaro
