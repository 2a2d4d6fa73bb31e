#pragma once
// Every clip the panel can play, by file name (without ".wav"): the names of
// the generated clip table.

#include "voice/clip_names.h"

namespace talvaro {

inline constexpr const auto& clip_inventory = clip::inventory;

}  // namespace talvaro
