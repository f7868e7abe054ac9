// A page cannot read its thread's CPU time; the frame report gets the page's
// high-resolution clock instead, which is the same while the one thread is busy
// drawing (the browser's own work between frames is not in a frame's span).
#include "platform/thread_clock.h"

#include <emscripten.h>

double threadCpuSeconds() { return emscripten_get_now() * 1e-3; }
