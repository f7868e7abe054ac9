// The web GL layer's picture check: a handful of scenes drawn with the show's own
// GL calls, built natively against Mesa and with emcc against the layer; the
// runner (run_check.sh) compares the pixels the two read back.
#pragma once
#include <cstdint>
#include <vector>

constexpr int kSceneSize = 128; // square framebuffer, pixels

int sceneCount();
const char* sceneName(int index);
// Creates the framebuffer the scenes draw into; needs a current context with its
// entry points loaded. False when the framebuffer is incomplete.
bool setUpScenes();
// Draws scene `index` and returns its RGBA bytes, rows bottom first.
std::vector<uint8_t> drawScene(int index);
