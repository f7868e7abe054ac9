// Thread CPU time through the POSIX per-thread clock.
#include "platform/thread_clock.h"

#include <time.h>

double threadCpuSeconds()
{
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return 0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
