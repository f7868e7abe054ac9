// The accumulating show clock. Every reading adds the counter time since the
// previous reading, whoever made it. A fixed-step mode replaces the counter by one
// that moves only when the frame driver ticks it, so every frame advances the show
// by exactly 1/rate s whatever the wall clock does (captures, tests, benchmarks).
#pragma once
#include <cstdint>

struct ShowClock {
    double clockSeconds = 0;
    uint64_t clockLast = 0;
    int fixedStepRate = 0;     // frames per second; 0 = real clock
    uint64_t fixedCounter = 0; // the stepped counter, in 1/fixedStepRate s
};

extern ShowClock showClock;

double readClock();
void resetClock();
void setFixedStep(int framesPerSecond); // 0 returns to the real clock
void tickFixedStep();                    // one frame's step; nothing on the real clock
// A clock reading for measuring durations in wall time: readClock() on the real
// clock; the platform counter's own seconds when the show runs on fixed steps
// (the stepped counter does not move while loading).
double readDurationClock();
