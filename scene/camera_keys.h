// Timed camera poses from the binary key file "newobjects//paths.pt": an int32
// count, then per key six float64 coordinates (eye, target) and a float64 time,
// little-endian. Keys are not interpolated; the first later key wins.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/vecmath.h"

struct CameraKey {
    double time;       // seconds on the scene clock
    Vec3 eye, target;  // tag 1, narrowed from float64
};

// Counts above this are not taken from a file (a corrupt header, not a path).
constexpr int32_t kMaxCameraKeys = 1000000;

// Appends the keys of the file to keys. False only when the file cannot be
// opened. A count below 1 or above kMaxCameraKeys reads no keys; a file that ends
// early stops at its last complete record.
bool loadCameraKeys(const char* path, std::vector<CameraKey>& keys);
// The same reading rules on bytes already in memory.
void readCameraKeys(const uint8_t* data, size_t size, std::vector<CameraKey>& keys);

// First key in file order whose time is strictly greater than t, or null.
const CameraKey* activeKey(const std::vector<CameraKey>& keys, double t);
