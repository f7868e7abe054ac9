// Inner loops of the JPEG decoder: the two inverse DCTs and the YCbCr to RGBx
// conversion, each as a portable scalar routine and (fast IDCT, colour) an SSE2
// twin that must give the same bytes. Internal to formats/, exposed for tests.
#pragma once
#include <cstdint>

namespace jpegk {

// Colour tables indexed by sample value (x = sample - 128 inside).
struct ColourTables {
    int32_t rTab[256];
    int32_t bTab[256];
    int32_t gCr[256];
    int32_t gCb[256];
};
void buildColourTables(ColourTables& t);

// Fast mode: AAN on 16-bit lanes. coef holds quantised coefficients in natural
// order; quant the pre-scaled table (natural order, saturated to int16). Writes
// an 8x8 block of samples at out with the given row stride.
void idctFastScalar(const int16_t* coef, const int16_t* quant, uint8_t* out, int stride);
// Same arithmetic with SSE2; falls back to the scalar routine where SSE2 is absent.
void idctFastSimd(const int16_t* coef, const int16_t* quant, uint8_t* out, int stride);
// Block whose only non-zero coefficient is the DC: every lane of both passes
// carries the DC unchanged, so the block is one flat value.
uint8_t idctFastDcValue(int16_t dc, int16_t quantDc);

// Accurate mode: integer LL&M IDCT with 13-bit constants. quant in natural order.
void idctAccurate(const int16_t* coef, const int32_t* quant, uint8_t* out, int stride);

// One row: width pixels of R, G, B and an untouched fourth byte. Chroma sample
// x >> hShift serves luma column x (hShift 0 or 1: replication, no filtering).
// The SIMD twin may read up to 16 samples and write up to 16 pixels past width;
// buffers are padded for that.
void yccToRgbxScalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int width,
                     int hShift, const ColourTables& t);
void yccToRgbxSimd(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int width,
                   int hShift, const ColourTables& t);

// SSE2 only: one or two luma rows (y1 may be null) sharing one chroma row.
void yccToRgbxSimd2(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* out0,
                    uint8_t* out1, int width, int hShift);

bool haveSimd();

} // namespace jpegk
