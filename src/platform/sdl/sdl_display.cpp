#include "platform/sdl/sdl_display.h"
