// Recording services on Windows.
#include "app/process.h"

// A write to a pipe without reader already fails with an error here.
void ignoreBrokenPipes() {}
