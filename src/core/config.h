#pragma once
// Reading TALVARO.CFG.

namespace talvaro {

struct Context;

// Reads the five lines of the configuration into the state. false when the
// file cannot be opened.
bool read_configuration(Context& cx);

}  // namespace talvaro
