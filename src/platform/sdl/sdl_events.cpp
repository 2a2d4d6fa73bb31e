#include "platform/sdl/sdl_events.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace talvaro {

namespace {

struct KeycodeRow {
  SDL_Keycode key;
  int code;
};

struct ScancodeRow {
  SDL_Scancode key;
  int code;
};

// Keys known by what they do, whatever the keyboard layout.
constexpr KeycodeRow named_keys[] = {
    {SDLK_BACKSPACE, 8},    {SDLK_TAB, 9},           {SDLK_RETURN, 13},      {SDLK_LSHIFT, 16},
    {SDLK_RSHIFT, 16},      {SDLK_LCTRL, 17},        {SDLK_RCTRL, 17},       {SDLK_LALT, 18},
    {SDLK_RALT, 18},        {SDLK_PAUSE, 19},        {SDLK_CAPSLOCK, 20},    {SDLK_ESCAPE, 27},
    {SDLK_SPACE, 32},       {SDLK_PAGEUP, 33},       {SDLK_PAGEDOWN, 34},    {SDLK_END, 35},
    {SDLK_HOME, 36},        {SDLK_LEFT, 37},         {SDLK_UP, 38},          {SDLK_RIGHT, 39},
    {SDLK_DOWN, 40},        {SDLK_PRINTSCREEN, 44},  {SDLK_INSERT, 45},      {SDLK_DELETE, 46},
    {SDLK_LGUI, 91},        {SDLK_RGUI, 92},         {SDLK_APPLICATION, 93}, {SDLK_KP_0, 96},
    {SDLK_KP_1, 97},        {SDLK_KP_2, 98},         {SDLK_KP_3, 99},        {SDLK_KP_4, 100},
    {SDLK_KP_5, 101},       {SDLK_KP_6, 102},        {SDLK_KP_7, 103},       {SDLK_KP_8, 104},
    {SDLK_KP_9, 105},       {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},    {SDLK_KP_MINUS, 109},
    {SDLK_KP_PERIOD, 110},  {SDLK_KP_DECIMAL, 110},  {SDLK_KP_DIVIDE, 111},  {SDLK_F1, 112},
    {SDLK_F2, 113},         {SDLK_F3, 114},          {SDLK_F4, 115},         {SDLK_F5, 116},
    {SDLK_F6, 117},         {SDLK_F7, 118},          {SDLK_F8, 119},         {SDLK_F9, 120},
    {SDLK_F10, 121},        {SDLK_F11, 122},         {SDLK_F12, 123},        {SDLK_F13, 124},
    {SDLK_F14, 125},        {SDLK_F15, 126},         {SDLK_F16, 127},        {SDLK_F17, 128},
    {SDLK_F18, 129},        {SDLK_F19, 130},         {SDLK_F20, 131},        {SDLK_F21, 132},
    {SDLK_F22, 133},        {SDLK_F23, 134},         {SDLK_F24, 135},        {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},
};

// The punctuation keys by the character they type unshifted.
constexpr KeycodeRow punctuation_by_character[] = {
    {';', 186}, {'=', 187}, {',', 188},  {'-', 189}, {'.', 190},  {'/', 191},
    {'`', 192}, {'[', 219}, {'\\', 220}, {']', 221}, {'\'', 222},
};

// The punctuation keys by their place, for layouts that put other characters
// on them.
constexpr ScancodeRow punctuation_by_place[] = {
    {SDL_SCANCODE_SEMICOLON, 186},      {SDL_SCANCODE_EQUALS, 187},       {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},          {SDL_SCANCODE_PERIOD, 190},       {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},          {SDL_SCANCODE_LEFTBRACKET, 219},  {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_NONUSHASH, 220},      {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

// The code of the row for the key, 0 when no row has it.
template <class Row, std::size_t n, class Key>
int code_in(const Row (&rows)[n], Key key) {
  const auto row = std::find_if(rows, rows + n, [key](const Row& r) { return r.key == key; });
  return row == rows + n ? 0 : row->code;
}

// Runs on SDL's timer thread. It holds no pointer to the event source, only
// the tick's event type, so a tick already under way when the timer is
// removed cannot reach a destroyed object. A tick still waiting in the queue
// absorbs this one: ticks that fall due while the program is busy merge.
Uint32 push_tick(Uint32 interval, void* param) {
  const auto type = static_cast<Uint32>(reinterpret_cast<std::uintptr_t>(param));
  if (SDL_HasEvent(type) == SDL_FALSE) {
    SDL_Event tick{};
    tick.type = type;
    SDL_PushEvent(&tick);
  }
  return interval;
}

}  // namespace

int virtual_key_code(const SDL_Keysym& key) {
  if (const int code = code_in(named_keys, key.sym); code != 0) return code;
  if (key.sym >= 'a' && key.sym <= 'z') return 'A' + (key.sym - 'a');
  // The main digits by place, as the digit row of every layout gives them.
  if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_9) return '1' + (key.scancode - SDL_SCANCODE_1);
  if (key.scancode == SDL_SCANCODE_0) return '0';
  if (const int code = code_in(punctuation_by_character, key.sym); code != 0) return code;
  if (const int code = code_in(punctuation_by_place, key.scancode); code != 0) return code;
  // Layouts without Latin letters: the letter printed at that place.
  if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z) return 'A' + (key.scancode - SDL_SCANCODE_A);
  return other_key_code;
}

SdlEvents::SdlEvents(SdlDisplay& display, Hooks hooks) : display_(display), hooks_(std::move(hooks)) {
  const Uint32 type = SDL_RegisterEvents(1);
  if (type != static_cast<Uint32>(-1)) tick_type_ = type;
}

SdlEvents::~SdlEvents() { stop_timer(); }

void SdlEvents::start_timer(int period_ms) {
  stop_timer();
  if (!subsystem_.ok() || tick_type_ == 0) return;
  void* const param = reinterpret_cast<void*>(static_cast<std::uintptr_t>(tick_type_));
  timer_ = SDL_AddTimer(static_cast<Uint32>(std::max(period_ms, 1)), push_tick, param);
}

void SdlEvents::stop_timer() {
  if (timer_ != 0) SDL_RemoveTimer(timer_);
  timer_ = 0;
  if (tick_type_ != 0) SDL_FlushEvent(tick_type_);
}

void SdlEvents::wait_events(std::vector<Event>& events) {
  if (hooks_.before_waiting) hooks_.before_waiting();
  const std::size_t before = events.size();
  bool tick = false;
  while (events.size() == before && !tick) {
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0) {
      // No event can ever arrive: let the program end in its usual order.
      events.push_back({event_close, 0});
      return;
    }
    tick = translate(event, events, before) || tick;
    // The window system's input reaches SDL's queue only when it is pumped,
    // while the timer thread queues its tick at once: keys pressed while the
    // program was busy (a clip played to its end) are still outside the queue
    // behind a tick that fell due after them. Take them in now.
    SDL_PumpEvents();
    // Everything else queued, in order, without waiting again.
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
      tick = translate(event, events, before) || tick;
  }
  // The one pending tick stands for the latest tick that fell due, so it
  // comes after the input taken in with it: a key pressed while a clip
  // played is handled before the poll cycle moves on.
  if (tick) events.push_back({event_timer, 0});
}

bool SdlEvents::translate(const SDL_Event& event, std::vector<Event>& events, std::size_t first) {
  const auto close_request = [&events, first] {
    // Closing the window also brings SDL's quit event: one request is enough.
    if (events.size() == first || events.back().code != event_close) events.push_back({event_close, 0});
  };
  switch (event.type) {
    case SDL_QUIT:
      close_request();
      return false;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          close_request();
          return false;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          display_.repaint();
          return false;
        default:
          return false;
      }
    case SDL_KEYDOWN:
      // Held keys do not repeat on the panel.
      if (event.key.repeat != 0) return false;
      events.push_back({event_key_down, virtual_key_code(event.key.keysym)});
      if (hooks_.key_pressed) hooks_.key_pressed();
      return false;
    case SDL_KEYUP:
      events.push_back({event_key_up, 0});
      return false;
    default:
      // A tick pushed while the timer was being stopped is dropped.
      return tick_type_ != 0 && event.type == tick_type_ && timer_ != 0;
  }
}

}  // namespace talvaro
