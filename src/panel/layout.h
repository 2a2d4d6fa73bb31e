#pragma once
// The panel window at a glance: where every field is drawn, in which font and
// colour. The window is read top to bottom:
//
//   y   0  connection log line (0)       banner (270)
//   y  30  missing-configuration lines (0)  level meter (320)
//   y  80  mode (380)
//   y 150  frequency (300)
//   y 250  search low (80)  step (300)  STOP/CONT (500)  search high (750)
//   y 320  scan and search status (270), "Search Mode Active" (290)
//   y 370  entry echo, search limits, bank label (340); bank label line (300)
//   y 400  "Found" (20) and its count (750)
//   y 300 to 450: the lower panel's blanking rows

#include <array>
#include <string_view>

#include "core/text_state.h"

namespace talvaro::layout {

struct Point {
  int x;
  int y;
};

struct Font {
  std::string_view face;
  int points;
  int weight;
};

// ------------------------------------------------------------ fonts
// The face names are kept as the panel has always asked for them: the
// platform picks the font it draws from the name.

inline constexpr Font large{"Ariel", 50, 700};     // frequency, mode, limits
inline constexpr Font normal{"Ariel", 30, 700};    // status, settings, labels
inline constexpr Font blanking{"Ariel", 70, 700};  // clears the lower panel
inline constexpr Font log_line{"ARIEL", 10, 700};  // a raw reply at the top
// What the mode line and the CW key leave for later prints of their own.
inline constexpr Font after_mode{"Aerial", 30, 700};

// ------------------------------------------------------------ fields
// Every place the panel prints, with the font and colour it prints in. A
// field without a font (or with keep_colour) prints in whatever the previous
// print left: the text state carries over from one print to the next.

inline constexpr int keep_colour = -1;

struct Field {
  Point at;
  const Font* font;
  int colour;
};

// clang-format off
//                                        position     font          colour
inline constexpr Field origin            {{  0,   0}, nullptr,      keep_colour};  // connection log, raw replies
inline constexpr Field banner            {{270,   0}, nullptr,      keep_colour};
inline constexpr Field missing_config_1  {{  0,  30}, nullptr,      keep_colour};
inline constexpr Field missing_config_2  {{  0,  60}, nullptr,      keep_colour};
inline constexpr Field level_meter       {{320,  30}, nullptr,      colour_green};
inline constexpr Field mode              {{380,  80}, &large,       colour_black};
inline constexpr Field frequency         {{300, 150}, &large,       colour_blue};
inline constexpr Field search_low        {{ 80, 250}, &normal,      colour_black};
inline constexpr Field step              {{300, 250}, &normal,      colour_black};
inline constexpr Field stop_mode         {{500, 250}, &normal,      colour_black};
inline constexpr Field search_high       {{750, 250}, &normal,      colour_black};
inline constexpr Field status            {{270, 320}, &normal,      colour_red};    // scan and search banners
inline constexpr Field status_searching  {{270, 320}, nullptr,      colour_green};  // "Search Mode Active" from the poll
inline constexpr Field search_active     {{290, 320}, &normal,      colour_green};  // "Search Mode Active" at the start
inline constexpr Field entry_echo        {{340, 370}, &large,       keep_colour};   // typed entries, search limits
inline constexpr Field scan_label        {{340, 370}, &normal,      colour_green};  // the bank scan's entry label
inline constexpr Field bank_label        {{300, 370}, &normal,      colour_green};
inline constexpr Field found_label       {{ 20, 400}, &normal,      colour_red};
inline constexpr Field found_count       {{750, 400}, nullptr,      keep_colour};
// clang-format on

// The lower panel's rows and how many blanks clear each.
struct BlankRow {
  Point at;
  int blanks;
};
inline constexpr std::array<BlankRow, 4> lower_panel{{
    {{150, 300}, 40},
    {{0, 350}, 80},
    {{300, 400}, 40},
    {{300, 450}, 40},
}};

}  // namespace talvaro::layout
