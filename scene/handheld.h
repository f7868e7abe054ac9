// Recorded hand-held camera motion ("try1.sav"): 28-byte little-endian records
// (three float32 offsets, two float64 values), looped at 35 samples per second.
// Loading closes the loop and smooths the tilt through two arc-length resamplings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/vecmath.h"

// Fewer records than this cannot be looped and smoothed; such a recording is unused.
constexpr size_t kHandheldMinSamples = 40;

// Offsets and tilt beyond this are corrupt data, not a recorded hand: the one the
// show uses moves by a few hundred units, and 100000 would throw the look-at target
// 15 units sideways, far off the paper.
constexpr double kHandheldValueLimit = 100000.0;

struct HandheldRecording {
    std::vector<Vec3> samples;   // (tag 1, x, y, z) per record
    std::vector<double> tilt;    // a per record, smoothed after loading
    std::vector<double> second;  // b per record

    // False (recording unchanged) when the file is not a readable regular file. That,
    // a recording the camera cannot use (left empty) and one cut inside a record
    // each give one line on standard error.
    bool load(const char* path);
    // The same from bytes in memory (a trailing partial record is ignored), silently.
    // False, with the recording left empty, when a record's x, y or tilt is not
    // finite or lies beyond kHandheldValueLimit.
    bool loadFromMemory(const uint8_t* data, size_t size);

    bool usable() const { return samples.size() >= kHandheldMinSamples; }

    // Sample for scene time t: truncate(t*35 - 28) taken as an unsigned 32-bit
    // pattern, modulo n - 1 (so sample n - 1 never plays). 0 when n < 2.
    uint32_t sampleIndex(double t) const;
};

// Pushes target sideways and up and tilts up.x by the sample for t. Does nothing
// when the recording is not usable.
void applyHandheld(const HandheldRecording& rec, double t, Vec3& eye, Vec3& target, Vec3& up);
