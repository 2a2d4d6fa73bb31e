#pragma once
// A bench that lives for the whole fuzzing run, in its own temporary folder.

#include "support/fakes.h"

namespace talvaro::fuzzing {

testing::Bench& bench();

// Makes temporary folders (and so a bench's working folder) live in memory
// when the machine has a memory file system and TMPDIR names none: the
// targets that write files then spend their time in the code, not the disk.
void prefer_memory_folders();

}  // namespace talvaro::fuzzing
