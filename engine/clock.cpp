// Show clock over the platform's high-resolution counter, or over a stepped one.
#include "engine/clock.h"

#include "platform/platform.h"

ShowClock showClock;

static uint64_t counterNow()
{
    return showClock.fixedStepRate > 0 ? showClock.fixedCounter : platform::counter();
}

static uint64_t counterRate()
{
    return showClock.fixedStepRate > 0 ? static_cast<uint64_t>(showClock.fixedStepRate)
                                       : platform::counterFrequency();
}

double readClock()
{
    uint64_t now = counterNow();
    // Unsigned difference: a counter that steps back gives a huge value here,
    // which is why the frame driver clamps non-positive deltas only; the platform
    // counter is monotonic, so this does not happen in practice.
    showClock.clockSeconds += static_cast<double>(now - showClock.clockLast) / static_cast<double>(counterRate());
    showClock.clockLast = now;
    return showClock.clockSeconds;
}

void resetClock()
{
    showClock.clockSeconds = 0;
    showClock.clockLast = counterNow();
}

void setFixedStep(int framesPerSecond)
{
    showClock.fixedStepRate = framesPerSecond > 0 ? framesPerSecond : 0;
    showClock.fixedCounter = 0;
    resetClock();
}

void tickFixedStep()
{
    if (showClock.fixedStepRate > 0)
        ++showClock.fixedCounter;
}

double readDurationClock()
{
    if (showClock.fixedStepRate > 0)
        return static_cast<double>(platform::counter()) / static_cast<double>(platform::counterFrequency());
    return readClock();
}
