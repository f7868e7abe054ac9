// BGRA to YUV 4:2:0 with the studio-swing BT.601 integer weights (8-bit fixed
// point, as most converters use), two picture rows at a time: each pair gives two
// Y rows and one row of U and of V. Plain loops over bytes that the compiler can
// vectorise; no tables.
#include "app/capture/yuv_planes.h"

namespace {

inline uint8_t lumaOf(int r, int g, int b) { return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }

} // namespace

void packYuvPlanes(const uint8_t* bgra, int width, int height, uint8_t* planes)
{
    const int w = videoSide(width), h = videoSide(height);
    const size_t stride = static_cast<size_t>(width) * 4;
    uint8_t* yPlane = planes;
    uint8_t* uPlane = planes + static_cast<size_t>(w) * h;
    uint8_t* vPlane = uPlane + static_cast<size_t>(w / 2) * (h / 2);
    for (int row = 0; row < h; row += 2) {
        // Video row `row` is picture row height - 1 - row counted from the bottom.
        const uint8_t* top = bgra + static_cast<size_t>(height - 1 - row) * stride;
        const uint8_t* bottom = top - stride;
        uint8_t* y0 = yPlane + static_cast<size_t>(row) * w;
        uint8_t* y1 = y0 + w;
        uint8_t* u = uPlane + static_cast<size_t>(row / 2) * (w / 2);
        uint8_t* v = vPlane + static_cast<size_t>(row / 2) * (w / 2);
        for (int x = 0; x < w; ++x) {
            y0[x] = lumaOf(top[4 * x + 2], top[4 * x + 1], top[4 * x]);
            y1[x] = lumaOf(bottom[4 * x + 2], bottom[4 * x + 1], bottom[4 * x]);
        }
        for (int x = 0; x < w / 2; ++x) {
            const uint8_t* a = top + 8 * x;
            const uint8_t* c = bottom + 8 * x;
            // Sums of four pixels; the weights take the mean by shifting two more bits.
            const int b = a[0] + a[4] + c[0] + c[4];
            const int g = a[1] + a[5] + c[1] + c[5];
            const int r = a[2] + a[6] + c[2] + c[6];
            u[x] = static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 512) >> 10) + 128);
            v[x] = static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 512) >> 10) + 128);
        }
    }
}
