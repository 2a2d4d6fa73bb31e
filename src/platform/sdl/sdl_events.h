#pragma once
#include "core/platform.h"
namespace talvaro {
// PLACEHOLDER: replaced by the SDL event source.
class SdlEvents final : public EventSource {
 public:
  void start_timer(int) override {}
  void stop_timer() override {}
  void wait_events(std::vector<Event>& events) override { events.push_back({event_close, 0}); }
};
}  // namespace talvaro
