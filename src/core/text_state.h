#pragma once
// Where and how the next print is drawn (the panel's text output keeps it
// from one print to the next), and the colours the panel uses.

#include "core/platform.h"

namespace talvaro {

inline constexpr int colour_black = 0;
inline constexpr int colour_red = 255;
inline constexpr int colour_green = 65280;
inline constexpr int colour_blue = 16711680;

struct TextState {
  int x = 0;
  int y = 0;
  FontSpec font;  // points 0: the default font of a new surface
  int colour = colour_black;
};

}  // namespace talvaro
