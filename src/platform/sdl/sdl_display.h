#pragma once
// The panel window on SDL: a fixed-size window backed by a persistent drawing
// surface. Text is rendered into the surface with SDL_ttf in fonts that
// fontconfig picks for the requested face, and each print is copied to the
// window at once, so it shows even while the program then blocks in a clip.

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/platform.h"

namespace talvaro {

class SdlDisplay final : public Display {
 public:
  SdlDisplay();
  ~SdlDisplay() override;
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  bool open_window(const WindowSpec& spec) override;
  void close_window() override;
  int draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) override;

  // Copies the whole drawing surface to the window again, for when the
  // system has discarded the window's contents (uncovered, restored).
  void repaint();
  // The SDL id of the window, 0 while none is open.
  std::uint32_t window_id() const;
  // The drawing surface's pixel as 0xRRGGBB; -1 outside it or with no window.
  int pixel(int x, int y) const;
  // Character height in pixels of a font of so many points on this screen.
  int pixel_height(int points) const;

 private:
  struct Window;
  std::unique_ptr<Window> window_;
};

}  // namespace talvaro
