// Fuzz target: the hand-held recording reader (loop closing and tilt smoothing
// on arbitrary values) and the sample lookup and camera push for a few times.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "scene/handheld.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HandheldRecording rec;
    // A refused recording is left empty.
    const size_t n = rec.loadFromMemory(data, size) ? size / 28 : 0;
    if (rec.samples.size() != n || rec.tilt.size() != n || rec.second.size() != n)
        __builtin_trap();
    for (double t : {-1e300, -3.0, 0.0, 0.8, 100.25, 1e12, 1e300}) {
        if (n >= 2 && rec.sampleIndex(t) >= n - 1)
            __builtin_trap();
        Vec3 eye{1, 0.0f, 0.1f, 5.0f}, target{1, 0.0f, 0.1f, 0.0f}, up{1, 0.0f, 1.0f, 0.0f};
        applyHandheld(rec, t, eye, target, up);
        if (!std::isfinite(target.x) || !std::isfinite(target.y) || !std::isfinite(up.x))
            __builtin_trap();
    }
    return 0;
}
