#pragma once
#include "core/platform.h"
namespace talvaro {
// PLACEHOLDER: replaced by the SDL audio.
class SdlAudio final : public Audio {
 public:
  void play(std::shared_ptr<const Sound>, bool) override {}
  void stop() override {}
};
}  // namespace talvaro
