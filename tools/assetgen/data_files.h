// The camera data files: the camera-key file and the hand-held recording.
#pragma once
#include <cstdint>
#include <vector>

// "newobjects/paths.pt": a key count of 0. A key whose time lies ahead of the
// scene clock pins the camera until then, so any real key would freeze the
// pen-following camera; the show's own camera curves do all the travelling.
std::vector<uint8_t> cameraKeyFile();

// "try1.sav": 28-byte records at 35 a second (float32 x, y, z; float64 tilt, spare).
constexpr int kHandheldRate = 35;
constexpr int kHandheldSeconds = 240;
std::vector<uint8_t> handheldRecording();
