// SDL backend of the offscreen display: SDL's offscreen video driver, whose GL
// context is an EGL one drawn by the GL driver into memory (Mesa's software path on
// a machine without a graphics card). A driver named in SDL_VIDEODRIVER still wins.
#include "platform/process.h"

#include <SDL.h>

void useOffscreenDisplay() { SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen"); }
