#pragma once
// Owning handles for the SDL, SDL_ttf and fontconfig objects the platform
// layer uses, and guards that hold one reference to an SDL subsystem or to the
// font renderer for as long as they live.

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <memory>

namespace talvaro::sdl {

// Deleter calling the library's release function; null handles are skipped.
template <auto release>
struct Release {
  template <class T>
  void operator()(T* handle) const {
    if (handle != nullptr) release(handle);
  }
};

using WindowPtr = std::unique_ptr<SDL_Window, Release<SDL_DestroyWindow>>;
using SurfacePtr = std::unique_ptr<SDL_Surface, Release<SDL_FreeSurface>>;
using FontPtr = std::unique_ptr<TTF_Font, Release<TTF_CloseFont>>;
using AudioStreamPtr = std::unique_ptr<SDL_AudioStream, Release<SDL_FreeAudioStream>>;
using FcConfigPtr = std::unique_ptr<FcConfig, Release<FcConfigDestroy>>;
using FcPatternPtr = std::unique_ptr<FcPattern, Release<FcPatternDestroy>>;

// One reference to SDL subsystems (SDL counts them, so nesting is fine).
class Subsystem {
 public:
  explicit Subsystem(Uint32 flags) : flags_(SDL_InitSubSystem(flags) == 0 ? flags : 0) {}
  ~Subsystem() {
    if (flags_ != 0) SDL_QuitSubSystem(flags_);
  }
  Subsystem(const Subsystem&) = delete;
  Subsystem& operator=(const Subsystem&) = delete;
  bool ok() const { return flags_ != 0; }

 private:
  Uint32 flags_;
};

// One reference to the font renderer (SDL_ttf counts them too).
class FontRenderer {
 public:
  FontRenderer() : ok_(TTF_Init() == 0) {}
  ~FontRenderer() {
    if (ok_) TTF_Quit();
  }
  FontRenderer(const FontRenderer&) = delete;
  FontRenderer& operator=(const FontRenderer&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// An open audio output device.
class AudioDevice {
 public:
  AudioDevice() = default;
  explicit AudioDevice(SDL_AudioDeviceID id) : id_(id) {}
  ~AudioDevice() { reset(); }
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;
  SDL_AudioDeviceID id() const { return id_; }
  // Closes the device held, if any, and holds this one instead.
  void reset(SDL_AudioDeviceID id = 0) {
    if (id_ != 0) SDL_CloseAudioDevice(id_);
    id_ = id;
  }

 private:
  SDL_AudioDeviceID id_ = 0;
};

}  // namespace talvaro::sdl
