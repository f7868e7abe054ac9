// Float RGB images in GL's orientation (row 0 at the bottom), tileable value noise,
// a JPEG writer on libjpeg's encoder (rows written top first, so the show's
// loader, which flips them, gets back row 0 at the bottom) and a PNG writer on
// libpng for the pictures with transparency that the packages carry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct Image {
    int w = 0, h = 0;
    std::vector<float> px; // 3 floats per pixel, 0..1
    Image(int width, int height, float r, float g, float b);
    float* at(int x, int y) { return &px[3 * (static_cast<size_t>(y) * w + x)]; }
    const float* at(int x, int y) const { return &px[3 * (static_cast<size_t>(y) * w + x)]; }
    void blend(int x, int y, float r, float g, float b, float a); // clipped
};

// Value noise on a lattice that repeats every `period` cells in x and y: in 0..1.
double tileNoise(double x, double y, int periodX, int periodY, uint32_t seed);
// Sum of octaves, each with twice the periods; in about 0..1.
double tileFbm(double x, double y, int periodX, int periodY, int octaves, uint32_t seed);

// Baseline JPEG, 3 components, integer DCT: the same bytes on every run.
std::vector<uint8_t> encodeJpeg(const Image& img, int quality);
// RGBA PNG of 8-bit pixels given top row first; empty on failure.
std::vector<uint8_t> encodePngRgba(int width, int height, const std::vector<uint8_t>& rgba);
