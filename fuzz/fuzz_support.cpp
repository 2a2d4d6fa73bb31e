#include "fuzz_support.h"

namespace talvaro::fuzzing {

testing::Bench& bench() {
  // Destroyed when the fuzzer exits, which removes its temporary folder.
  static testing::Bench shared;
  static const bool primed = [] {
    shared.prime_state();
    return true;
  }();
  (void)primed;
  return shared;
}

}  // namespace talvaro::fuzzing
