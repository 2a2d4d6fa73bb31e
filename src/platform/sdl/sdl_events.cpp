#include "platform/sdl/sdl_events.h"
