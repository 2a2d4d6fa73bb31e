#pragma once
// The panel window at a glance: where every field is drawn, and the fonts the
// panel draws in. Colours are named in core/text_state.h. The window is read
// top to bottom:
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

inline constexpr Point origin{0, 0};  // the connection start's and a raw reply's log line
inline constexpr Point banner{270, 0};
inline constexpr std::array<Point, 2> missing_configuration{{{0, 30}, {0, 60}}};
inline constexpr Point level_meter{320, 30};
inline constexpr Point mode{380, 80};
inline constexpr Point frequency{300, 150};
inline constexpr Point search_low{80, 250};
inline constexpr Point step{300, 250};
inline constexpr Point stop_mode{500, 250};
inline constexpr Point search_high{750, 250};
inline constexpr Point status{270, 320};
inline constexpr Point search_active{290, 320};
inline constexpr Point lower_line{340, 370};
inline constexpr Point bank_label{300, 370};
inline constexpr Point found_label{20, 400};
inline constexpr Point found_count{750, 400};

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
