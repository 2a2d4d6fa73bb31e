#include "fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

namespace talvaro::fuzzing {

void prefer_memory_folders() {
  if (::access("/dev/shm", W_OK | X_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 0);
}

testing::Bench& bench() {
  static const bool in_memory = (prefer_memory_folders(), true);
  (void)in_memory;
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
