#pragma once
// Clip playback on SDL's audio output: one clip at a time, converted to the
// device's format and queued on a device with a small buffer, so a clip
// starts within a few tens of milliseconds. A waiting clip returns once the
// device has sounded it to its end, and never before its length has passed;
// without an output device it still takes its length, so pauses keep theirs.
//
// The device is open only around clips: an open device keeps SDL's audio
// thread (and a sound server) busy feeding silence. It closes once nothing
// has sounded for a moment while the program waits for events, and opens
// again for the next clip, or already when a key is pressed, so that the
// key's clip does not wait for it.

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
  // Opens the output device ahead of a clip that is to follow soon.
  void prepare();
  // Closes the output device when nothing has sounded for a moment. For the
  // event loop, each time before it waits for events.
  void release_when_silent();
  // false when no output device could be opened: clips are then silent.
  bool has_device() const { return device_available_; }
  // Whether the output device is open now.
  bool device_open() const { return device_.id() != 0; }

 private:
  // Opens the device unless it is open; false when it cannot be opened.
  bool open_device();
  // How long the device takes to sound the samples it has taken.
  std::chrono::duration<double> device_buffer_time() const;

  sdl::Subsystem subsystem_{SDL_INIT_AUDIO};
  bool device_available_ = false;
  // The format the device plays; set when it opens.
  SDL_AudioSpec format_{};
  sdl::AudioDevice device_;
  // The clip sounding now, kept alive while it plays.
  std::shared_ptr<const Sound> playing_;
  // Since when the device has been silent: when the last clip will have
  // been heard to its end, or when the device was readied.
  std::chrono::steady_clock::time_point silent_since_{};
};

}  // namespace talvaro
