// SDL2 backend of the platform layer (placeholder).
#include "runtime/platform.h"
