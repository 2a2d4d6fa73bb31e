#include "fuzz_support.h"

namespace talvaro::fuzzing {

testing::Bench& bench() {
  static auto* shared = [] {
    auto* made = new testing::Bench();
    made->prime_state();
    return made;
  }();
  return *shared;
}

}  // namespace talvaro::fuzzing
