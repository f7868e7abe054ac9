// JPEG decoder (placeholder).
#include "formats/jpeg_decoder.h"
