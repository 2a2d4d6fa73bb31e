#pragma once
// An audio service that records every clip it is asked to play, for the
// end-to-end tests and the benchmarks: one line per clip with the time of the
// request (milliseconds on the monotonic clock), whether the caller waits,
// and the clip file. Only the test build of the program uses it.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "core/platform.h"

namespace talvaro {

class ClipLogAudio final : public Audio {
 public:
  ClipLogAudio(Audio& inner, const std::string& log_path) : inner_(inner), log_(std::fopen(log_path.c_str(), "w")) {}
  ~ClipLogAudio() override {
    if (log_ != nullptr) std::fclose(log_);
  }
  ClipLogAudio(const ClipLogAudio&) = delete;
  ClipLogAudio& operator=(const ClipLogAudio&) = delete;

  void play(std::shared_ptr<const Sound> sound, bool wait) override {
    if (log_ != nullptr && sound) {
      const auto now =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
              .count();
      std::fprintf(log_, "%lld %s %s\n", static_cast<long long>(now), wait ? "wait" : "nowait", sound->path.c_str());
      std::fflush(log_);
    }
    inner_.play(std::move(sound), wait);
  }
  void stop() override { inner_.stop(); }

 private:
  Audio& inner_;
  std::FILE* log_;
};

}  // namespace talvaro
