// The process-wide pseudo-random generator. Every random pattern of the show
// comes from this one 32-bit state, reseeded with fixed seeds by its users, so the
// show draws the same picture for the same time on every run. It is not the C
// library's generator: the constants are fixed here so the sequence never depends
// on the platform.
#pragma once
#include <cstdint>

namespace rng {

// One state for the whole process, 1 at start.
inline uint32_t state = 1;

inline void srand(uint32_t seed) { state = seed; }

// Returns 0 .. 32767.
inline int rand()
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 32767u);
}

// Draws and throws away count values (the users "warm up" after each reseed).
inline void discard(int count)
{
    for (int i = 0; i < count; ++i)
        rand();
}

} // namespace rng
