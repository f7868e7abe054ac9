// Timed camera poses from the binary key file "newobjects//paths.pt": an int32
// count, then per key six float64 coordinates (eye, target) and a float64 time,
// little-endian. Keys are not interpolated; the first later key wins.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/vecmath.h"

struct CameraKey {
    double time;       // seconds on the scene clock
    Vec3 eye, target;  // tag 1, narrowed from float64
};

// A key is left out when its time is not finite, a coordinate is not finite or
// lies beyond this many units (the show's camera moves within a few tens: such a
// value is corrupt data), or its eye sits on its target.
constexpr double kCameraKeyCoordinateLimit = 10000.0;
constexpr double kCameraKeyMinViewDistance = 1.0e-4;
bool usableCameraKey(const CameraKey& key);

// Appends the usable keys of the file to keys. False only when the file is not a
// readable regular file (said on standard error). N records are read as the count
// says (none when it is below 1); a file that ends early stops at its last complete
// record. A negative count, a file shorter than its count and left-out keys are
// each reported in one line on standard error.
bool loadCameraKeys(const char* path, std::vector<CameraKey>& keys);
// The same reading rules on bytes already in memory, silently; returns how many
// records were left out.
size_t readCameraKeys(const uint8_t* data, size_t size, std::vector<CameraKey>& keys);

// First key in file order whose time is strictly greater than t, or null.
const CameraKey* activeKey(const std::vector<CameraKey>& keys, double t);
