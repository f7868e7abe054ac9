// The web GL layer's benchmark: a stroke-pass-like frame (many 2-px line strips,
// each under its own matrices, and textured quads) drawn through the show's GL
// calls, against a peer that sends the same triangles to WebGL in one draw.
#pragma once

// Draws one frame through gl_api.h into the bound framebuffer, `size` pixels
// square: large, the rasteriser dominates; small, the work before it does.
void drawBenchFrame(int frame, int size);
constexpr int kBenchSize = 512;
constexpr int kBenchStrips = 1500;
constexpr int kBenchStripVertices = 40;
// Positions (x, y, z) of strip `strip` in frame `frame`, into `out` (3 floats each).
void benchStrip(int frame, int strip, float* out);
