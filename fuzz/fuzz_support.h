#pragma once
// A bench that lives for the whole fuzzing run, in its own temporary folder.

#include "support/fakes.h"

namespace talvaro::fuzzing {

testing::Bench& bench();

}  // namespace talvaro::fuzzing
