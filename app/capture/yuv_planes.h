// Frames for the video encoder: a picture as GL reads it back (BGRA, bottom row
// first) packed into the YUV 4:2:0 planes x264 takes (BT.601, limited range, top
// row first). Sides are made even by leaving out a last odd column or row.
#pragma once
#include <cstddef>
#include <cstdint>

// Even sides of the video for a picture of width x height.
inline int videoSide(int side) { return side & ~1; }
// Bytes of the planes of a video of that size: Y, then U, then V.
inline size_t yuvPlaneBytes(int width, int height)
{
    const size_t w = static_cast<size_t>(videoSide(width)), h = static_cast<size_t>(videoSide(height));
    return w * h + 2 * (w / 2) * (h / 2);
}

// `bgra` holds width x height pixels, rows bottom first, each row `width` * 4
// bytes; `planes` receives yuvPlaneBytes(width, height) bytes. Chroma is the mean
// of each 2 x 2 block.
void packYuvPlanes(const uint8_t* bgra, int width, int height, uint8_t* planes);
