#pragma once
// The state record: at shutdown bank00.dat holds, in place of a bank, the
// settings the next start restores. One table says which cell holds which
// setting; the save at shutdown and the restore at connection start both
// read it.

#include <array>
#include <string_view>

#include "core/state.h"

namespace talvaro::state_record {

// Cell 0: the banner, date and time; a record begins with this.
inline constexpr int title_cell = 0;
inline constexpr std::string_view title_mark = "***";

struct Setting {
  Text State::*variable;
  int cell;
  std::string_view default_value;  // used when there is no state record
};

inline constexpr std::array<Setting, 5> settings = {{
    {&State::mode_text, 1, "FM"},
    {&State::frequency_text, 2, "145"},
    {&State::search_low_text, 3, "145"},
    {&State::search_high_text, 4, "146"},
    {&State::step_text, 5, "12.5"},
}};

// The end marker follows the settings, then a line of five blanks.
inline constexpr int end_cell = 6;
inline constexpr std::string_view after_end = "     ";

// Once restored, the record becomes the search bank cut short: its name in
// cell 0, the mode kept in cell 1, the end marker in cell 2, then the blanks.
inline constexpr int restored_end_cell = 2;

}  // namespace talvaro::state_record
