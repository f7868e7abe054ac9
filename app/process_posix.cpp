// Recording services on Linux.
#include "app/process.h"

#include <csignal>

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }
