#pragma once
// Clip files already looked up (the voice fills it).

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/platform.h"

namespace talvaro {

// By requested path ("wave\point"); a null entry remembers that no playable
// file was found.
struct ClipCache {
  std::map<std::string, std::shared_ptr<const Sound>, std::less<>> sounds;
};

}  // namespace talvaro
