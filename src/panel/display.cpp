#include "panel/display.h"
#include "core/context.h"
namespace talvaro {
// PLACEHOLDER: replaced by the panel implementation.
void move_to(Context&, int, int) {}
void set_font(Context&, std::string_view, int, int) {}
void set_colour(Context&, int) {}
void print_text(Context&, std::initializer_list<PrintItem>) {}
}  // namespace talvaro
