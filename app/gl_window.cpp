// Window and GL context (placeholder).
#include "runtime/platform.h"
