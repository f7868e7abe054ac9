// Uniform Catmull-Rom curve through Vec3 control points, closed (indices wrap) or
// open (indices clamp), with two extra channels and arc-length resampling.
// All curve arithmetic is float32 on purpose: the camera flights depend on it.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/vecmath.h"

struct PathSpline {
    std::vector<Vec3> points;    // first channel
    std::vector<Vec3> channel2;  // one value per control point
    std::vector<Vec3> channel3;  // one value per control point
    int32_t channels = 3;        // how many channels evaluateChannels fills (1, 2 or 3)
    bool closed = true;          // true: indices wrap; false: indices clamp
    int32_t count = 0;           // control points used by evaluation (not the array size)

    // Appends a control point (tag 1) and counts it.
    void addPoint(const Vec3& p);

    // Copies count, channels, closed and the three arrays of other.
    void assign(const PathSpline& other);

    // Writes out.x/y/z from points using the closed flag. In open mode beyond the
    // ends, out becomes a whole copy of the end control point. Leaves out untouched
    // when there is nothing to evaluate (count < 1, or fewer stored points than count).
    void evaluate(float s, Vec3& out) const;

    // Always closed indexing. Empty points: all outputs (tag 1, 100, 0, 0).
    // count < 2: outputs untouched. Writes out1, then out3 (channels > 2), then out2
    // (channels >= 2); a channel holding fewer values than count is skipped.
    void evaluateChannels(float s, Vec3& out1, Vec3& out2, Vec3& out3) const;

    // First channel at s and at s + ds (closed indexing).
    void evaluateWithLookAhead(float s, float ds, Vec3& here, Vec3& ahead);

    // Redistributes the curve into n points evenly spaced by arc length, measured
    // with perSegment samples per segment. Leaves only the first channel.
    void resampleByArcLength(int n, int perSegment);
};

// Segment of a uniform curve for parameter s: four neighbour indices (16-bit, as
// the paths never exceed 65535 points) and the fraction inside the segment.
struct SplineSegment {
    uint16_t i0, i1, i2, i3;
    float f;
};
// n must be at least 1.
SplineSegment selectSegment(float s, int32_t n, bool closed);
