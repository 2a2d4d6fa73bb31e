#include "panel/display.h"

#include "core/context.h"

namespace talvaro {

void move_to(Context& cx, int x, int y) {
  cx.text_state.x = x;
  cx.text_state.y = y;
}

void move_to(Context& cx, layout::Point at) { move_to(cx, at.x, at.y); }

void set_font(Context& cx, const layout::Font& font) { set_font(cx, font.face, font.points, font.weight); }

void set_font(Context& cx, std::string_view face, int points, int weight) {
  // The platform's font creation uses at most 31 characters of the face name.
  cx.text_state.font = FontSpec{std::string(face.substr(0, 31)), points, weight};
}

void set_colour(Context& cx, int rgb) { cx.text_state.colour = rgb; }

void place(Context& cx, const layout::Field& field) {
  move_to(cx, field.at);
  if (field.font != nullptr) set_font(cx, *field.font);
  if (field.colour != layout::keep_colour) set_colour(cx, field.colour);
}

void print_text(Context& cx, std::initializer_list<PrintItem> items) {
  std::string line;
  for (const PrintItem& item : items) line += item.value;
  // A print never moves to a new line: one trailing line feed, and a carriage
  // return in front of it, are dropped.
  if (!line.empty() && line.back() == '\n') {
    line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  if (line.empty()) return;
  TextState& ts = cx.text_state;
  ts.x += cx.io.display.draw_text(ts.x, ts.y, line, ts.font, ts.colour);
}

}  // namespace talvaro
