// Placeholder until the mixer lands.
#include "runtime/sound.h"
