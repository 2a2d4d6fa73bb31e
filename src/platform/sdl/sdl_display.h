#pragma once
#include "core/platform.h"
namespace talvaro {
// PLACEHOLDER: replaced by the SDL display.
class SdlDisplay final : public Display {
 public:
  bool open_window(const WindowSpec&) override { return false; }
  void close_window() override {}
  int draw_text(int, int, std::string_view, const FontSpec&, int) override { return 0; }
};
}  // namespace talvaro
