#include "platform/sdl/sdl_display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "platform/sdl/sdl_handles.h"

namespace talvaro {

namespace {

// Background of a freshly opened window, the light grey of a system window.
constexpr Uint8 background_level = 0xF0;
// Faces are named by at most this many characters, as on the original platform.
constexpr std::size_t face_name_limit = 31;
// The font of a new drawing surface: the sans-serif face, bold, at 12 points
// (16 pixels at 96 dpi), close to a system window's own font.
constexpr const char* default_face = "sans-serif";
constexpr int default_points = 12;
constexpr int default_weight = 700;
// Screen density used when the display does not report a believable one.
constexpr double fallback_dpi = 96.0;
constexpr double lowest_believable_dpi = 48.0;
constexpr double highest_believable_dpi = 480.0;
constexpr int largest_pixel_height = 2000;

struct FontFile {
  std::string path;
  int index = 0;
  // The face found has no bold cut of its own: embolden it when rendering.
  bool embolden = false;
};

// Asks fontconfig for the file of the face closest to the request. The face
// name is passed as it stands; fontconfig substitutes a face it does not know.
std::optional<FontFile> match_font(FcConfig* config, const std::string& face, int weight) {
  sdl::FcPatternPtr pattern(FcPatternCreate());
  if (!pattern) return std::nullopt;
  if (!face.empty()) FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
  if (weight > 0) FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());

  FcResult result = FcResultNoMatch;
  sdl::FcPatternPtr match(FcFontMatch(config, pattern.get(), &result));
  if (!match) return std::nullopt;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return std::nullopt;

  FontFile found;
  found.path = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.index);
  int found_weight = 0;
  found.embolden = weight >= 600 && FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &found_weight) == FcResultMatch &&
                   found_weight < FC_WEIGHT_DEMIBOLD;
  return found;
}

double screen_dpi(SDL_Window* window) {
  const int index = std::max(SDL_GetWindowDisplayIndex(window), 0);
  float vertical = 0.0F;
  if (SDL_GetDisplayDPI(index, nullptr, nullptr, &vertical) != 0) return fallback_dpi;
  if (!(vertical >= lowest_believable_dpi && vertical <= highest_believable_dpi)) return fallback_dpi;
  return vertical;
}

int pixel_height_at(int points, double dpi) {
  const double height = std::abs(static_cast<double>(points)) * dpi / 72.0;
  return static_cast<int>(std::lround(std::clamp(height, 1.0, static_cast<double>(largest_pixel_height))));
}

}  // namespace

struct SdlDisplay::Window {
  sdl::Subsystem video{SDL_INIT_VIDEO};
  sdl::FontRenderer renderer;
  sdl::FcConfigPtr font_config;
  sdl::WindowPtr window;
  sdl::SurfacePtr canvas;
  double dpi = fallback_dpi;
  // Opened fonts by (face, points, weight); null when none could be opened.
  // Declared after the renderer so they are closed before it shuts down.
  std::map<std::tuple<std::string, int, int>, sdl::FontPtr> fonts;

  TTF_Font* font_for(const FontSpec& spec);
  // Copies a rectangle of the drawing surface to the window and shows it.
  void show(const SDL_Rect& area);
};

TTF_Font* SdlDisplay::Window::font_for(const FontSpec& spec) {
  const std::string face = spec.face.substr(0, std::min(spec.face.size(), face_name_limit));
  auto key = std::make_tuple(face, spec.points, spec.weight);
  if (const auto known = fonts.find(key); known != fonts.end()) return known->second.get();

  sdl::FontPtr& font = fonts[std::move(key)];
  if (!renderer.ok() || !font_config) return nullptr;
  const bool is_default = spec.points == 0;
  const int weight = is_default ? default_weight : spec.weight;
  const std::optional<FontFile> file = match_font(font_config.get(), is_default ? default_face : face, weight);
  if (!file) return nullptr;
  // SDL_ttf sizes are points at 72 dpi, so the pixel height is passed as is.
  const int height = pixel_height_at(is_default ? default_points : spec.points, dpi);
  font.reset(TTF_OpenFontIndex(file->path.c_str(), height, file->index));
  if (font && file->embolden) TTF_SetFontStyle(font.get(), TTF_STYLE_BOLD);
  return font.get();
}

void SdlDisplay::Window::show(const SDL_Rect& area) {
  if (area.w <= 0 || area.h <= 0) return;
  SDL_Surface* screen = SDL_GetWindowSurface(window.get());
  if (screen == nullptr) return;
  SDL_Rect source = area;
  SDL_Rect target = area;
  if (SDL_BlitSurface(canvas.get(), &source, screen, &target) != 0) return;
  SDL_UpdateWindowSurfaceRects(window.get(), &target, 1);
}

SdlDisplay::SdlDisplay() = default;
SdlDisplay::~SdlDisplay() = default;

bool SdlDisplay::open_window(const WindowSpec& spec) {
  close_window();
  if (spec.width <= 0 || spec.height <= 0) return false;
  auto opened = std::make_unique<Window>();
  if (!opened->video.ok()) return false;
  // The panel only copies a software surface to the window: a plain
  // framebuffer, not one backed by OpenGL, which would recreate the window
  // and run every meter redraw through a software renderer's threads.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Not resizable, so the window manager offers no maximise either.
  opened->window.reset(
      SDL_CreateWindow(spec.caption.c_str(), spec.left, spec.top, spec.width, spec.height, SDL_WINDOW_SHOWN));
  if (!opened->window) return false;
  opened->canvas.reset(SDL_CreateRGBSurfaceWithFormat(0, spec.width, spec.height, 32, SDL_PIXELFORMAT_ARGB8888));
  if (!opened->canvas) return false;
  SDL_SetSurfaceBlendMode(opened->canvas.get(), SDL_BLENDMODE_NONE);
  SDL_FillRect(opened->canvas.get(), nullptr,
               SDL_MapRGB(opened->canvas->format, background_level, background_level, background_level));
  opened->dpi = screen_dpi(opened->window.get());
  if (opened->renderer.ok()) opened->font_config.reset(FcInitLoadConfigAndFonts());
  // Keys are read as key events only; no text composition is wanted.
  SDL_StopTextInput();
  window_ = std::move(opened);
  repaint();
  return true;
}

void SdlDisplay::close_window() { window_.reset(); }

int SdlDisplay::draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) {
  if (!window_ || text.empty()) return 0;
  TTF_Font* face = window_->font_for(font);
  if (face == nullptr) return 0;

  // SDL_ttf takes the text up to its first NUL byte; a NUL inside the text
  // is drawn as a blank cell, so everything after it is drawn too.
  std::string line(text);
  std::replace(line.begin(), line.end(), '\0', ' ');
  const SDL_Color ink{static_cast<Uint8>(rgb & 0xFF), static_cast<Uint8>((rgb >> 8) & 0xFF),
                      static_cast<Uint8>((rgb >> 16) & 0xFF), SDL_ALPHA_OPAQUE};
  // Shaded rendering fills every character cell white behind its glyph.
  const SDL_Color paper{0xFF, 0xFF, 0xFF, SDL_ALPHA_OPAQUE};
  const sdl::SurfacePtr rendered(TTF_RenderText_Shaded(face, line.c_str(), ink, paper));
  if (!rendered) return 0;

  SDL_Surface* canvas = window_->canvas.get();
  const long long right = static_cast<long long>(x) + rendered->w;
  const long long bottom = static_cast<long long>(y) + rendered->h;
  if (x < canvas->w && y < canvas->h && right > 0 && bottom > 0) {
    SDL_Rect place{x, y, rendered->w, rendered->h};
    if (SDL_BlitSurface(rendered.get(), nullptr, canvas, &place) == 0) window_->show(place);
  }
  return rendered->w;
}

void SdlDisplay::repaint() {
  if (!window_) return;
  window_->show({0, 0, window_->canvas->w, window_->canvas->h});
}

std::uint32_t SdlDisplay::window_id() const { return window_ ? SDL_GetWindowID(window_->window.get()) : 0; }

int SdlDisplay::pixel(int x, int y) const {
  if (!window_) return -1;
  const SDL_Surface* canvas = window_->canvas.get();
  if (x < 0 || y < 0 || x >= canvas->w || y >= canvas->h) return -1;
  const auto* row = static_cast<const Uint8*>(canvas->pixels) + static_cast<std::ptrdiff_t>(y) * canvas->pitch;
  Uint32 value = 0;
  std::memcpy(&value, row + static_cast<std::ptrdiff_t>(x) * 4, sizeof value);
  return static_cast<int>(value & 0xFFFFFFU);
}

int SdlDisplay::pixel_height(int points) const {
  return pixel_height_at(points, window_ ? window_->dpi : fallback_dpi);
}

}  // namespace talvaro
