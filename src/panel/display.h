#pragma once
// The panel's text output: move, select font, select colour, print. The text
// state (position, font, colour) persists from one print to the next and from
// one area of the program to the next.

#include <initializer_list>
#include <string>
#include <string_view>

#include "core/text.h"
#include "core/text_state.h"
#include "panel/layout.h"

namespace talvaro {

struct Context;

// One item of a print: a text used unchanged, or an integer written in
// decimal followed by one space.
struct PrintItem {
  PrintItem(std::string_view text) : value(text) {}        // NOLINT: implicit by design
  PrintItem(const char* text) : value(text) {}             // NOLINT
  PrintItem(const std::string& text) : value(text) {}      // NOLINT
  PrintItem(const Text& text) : value(text.str()) {}       // NOLINT
  PrintItem(int number) : value(decimal(number) + " ") {}  // NOLINT
  std::string value;
};

void move_to(Context& cx, int x, int y);
void move_to(Context& cx, layout::Point at);
void set_font(Context& cx, std::string_view face, int points, int weight);
void set_font(Context& cx, const layout::Font& font);
void set_colour(Context& cx, int rgb);
// Moves to the field and selects its font and colour (those it has).
void place(Context& cx, const layout::Field& field);
// Joins the items, drops one trailing LF (and a CR before it), draws the rest
// at the current position and leaves the position at its right end. An empty
// result draws nothing and leaves the position.
void print_text(Context& cx, std::initializer_list<PrintItem> items);

}  // namespace talvaro
