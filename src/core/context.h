#pragma once
// Context: the program state together with the machine services it works
// through. Every operation of the panel takes one Context and works on its
// named variables, as the panel's operations are written.

#include "core/clip_cache.h"
#include "core/platform.h"
#include "core/port_table.h"
#include "core/state.h"
#include "core/text_state.h"

namespace talvaro {

struct Context {
  explicit Context(Platform& platform) : io(platform) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  Platform& io;
  State st;
  PortTable ports;       // the serial ports, by number
  TextState text_state;  // position, font and colour of the next print
  ClipCache clips;       // clip files already looked up
};

}  // namespace talvaro
