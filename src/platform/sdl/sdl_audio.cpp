#include "platform/sdl/sdl_audio.h"
