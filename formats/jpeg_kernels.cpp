// Inner loops of the JPEG decoder: fast (AAN, 16-bit) and accurate (LL&M, 13-bit
// constants) inverse DCTs and YCbCr -> RGBx conversion, scalar and SSE2. The SSE2
// routines repeat the scalar arithmetic lane for lane, so both give the same bytes.
#include "formats/jpeg_kernels.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpegk {

// ---------------------------------------------------------------------------
// Colour tables (JFIF): x = sample - 128, 16 fraction bits.
// ---------------------------------------------------------------------------

void buildColourTables(ColourTables& t)
{
    for (int i = 0; i < 256; ++i) {
        const int32_t x = i - 128;
        t.rTab[i] = (91882 * x + 32768) >> 16;
        t.bTab[i] = (116130 * x + 32768) >> 16;
        t.gCr[i] = -46802 * x;
        t.gCb[i] = -22554 * x + 32768;
    }
}

static inline uint8_t clampByte(int32_t v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// ---------------------------------------------------------------------------
// Fast IDCT. Coefficients are pre-scaled by the AAN factors (and by 4) in the
// quantisation table. Every add and subtract wraps at 16 bits like the SIMD lanes;
// a multiply is the high half of (x << 2) * c with c in 1.15, i.e. x * c / 16384.
// ---------------------------------------------------------------------------

namespace {

constexpr int16_t kMulSqrt2 = 23170;        // sqrt(2)         = 2 cos(pi/4)
constexpr int16_t kMulMinus0765 = -12540;   // -0.765366865    = -2 cos(3pi/8)
constexpr int16_t kMul1848 = 30273;         // 1.847759065     = 2 cos(pi/8)
// A touch larger than -2 cos(pi/8) (-30273). Kept as chosen: against the
// accurate transform the two values differ by under 0.05 dB on photographs.
constexpr int16_t kMulMinus1848 = -30353;   // -1.852600

inline int16_t add16(int16_t a, int16_t b) { return static_cast<int16_t>(a + b); }
inline int16_t sub16(int16_t a, int16_t b) { return static_cast<int16_t>(a - b); }
inline int16_t mulq(int16_t a, int16_t c)
{
    const int16_t shifted = static_cast<int16_t>(a * 4);
    return static_cast<int16_t>((static_cast<int32_t>(shifted) * c) >> 16);
}

// One AAN pass over eight values (in and out in natural order).
inline void aanPass(int16_t* v)
{
    // Even part.
    const int16_t t10 = add16(v[0], v[4]);
    const int16_t t11 = sub16(v[0], v[4]);
    const int16_t t13 = add16(v[2], v[6]);
    const int16_t t12 = sub16(mulq(sub16(v[2], v[6]), kMulSqrt2), t13);
    const int16_t e0 = add16(t10, t13);
    const int16_t e3 = sub16(t10, t13);
    const int16_t e1 = add16(t11, t12);
    const int16_t e2 = sub16(t11, t12);
    // Odd part: 1.082*z12 - 1.848*(z10+z12) and -2.613*z10 + 1.848*(z10+z12)
    // folded so that every constant fits 1.15 after the shift by 2.
    const int16_t z13 = add16(v[5], v[3]);
    const int16_t z10 = sub16(v[5], v[3]);
    const int16_t z11 = add16(v[1], v[7]);
    const int16_t z12 = sub16(v[1], v[7]);
    const int16_t o7 = add16(z11, z13);
    const int16_t o11 = mulq(sub16(z11, z13), kMulSqrt2);
    const int16_t o10 = add16(mulq(z12, kMulMinus0765), mulq(z10, kMulMinus1848));
    const int16_t o12 = add16(mulq(z10, kMulMinus0765), mulq(z12, kMul1848));
    const int16_t o6 = sub16(o12, o7);
    const int16_t o5 = sub16(o11, o6);
    const int16_t o4 = add16(o10, o5);
    v[0] = add16(e0, o7);
    v[7] = sub16(e0, o7);
    v[1] = add16(e1, o6);
    v[6] = sub16(e1, o6);
    v[2] = add16(e2, o5);
    v[5] = sub16(e2, o5);
    v[4] = add16(e3, o4);
    v[3] = sub16(e3, o4);
}

// The DC term reaches all 64 outputs through additions only, so adding half of
// the final step to it makes the final truncating shift round to nearest. Without
// it every sample comes out about 0.8 levels dark and flat blocks miss by a level.
constexpr int16_t kDcRounding = 16;

// Final step: arithmetic shift by 5 (drops the 2 fraction bits and the 1/8),
// +128 with 16-bit saturation, then 0..255.
inline uint8_t fastOut(int16_t v)
{
    int32_t s = (v >> 5) + 128;
    if (s > 32767)
        s = 32767;
    return clampByte(s);
}

} // namespace

void idctFastScalar(const int16_t* coef, const int16_t* quant, uint8_t* out, int stride)
{
    int16_t ws[64];
    int16_t v[8];
    for (int col = 0; col < 8; ++col) {
        for (int r = 0; r < 8; ++r)
            v[r] = static_cast<int16_t>(coef[r * 8 + col] * quant[r * 8 + col]);
        if (col == 0)
            v[0] = add16(v[0], kDcRounding);
        aanPass(v);
        for (int r = 0; r < 8; ++r)
            ws[r * 8 + col] = v[r];
    }
    for (int row = 0; row < 8; ++row) {
        for (int c = 0; c < 8; ++c)
            v[c] = ws[row * 8 + c];
        aanPass(v);
        uint8_t* o = out + row * stride;
        for (int c = 0; c < 8; ++c)
            o[c] = fastOut(v[c]);
    }
}

uint8_t idctFastDcValue(int16_t dc, int16_t quantDc)
{
    return fastOut(add16(static_cast<int16_t>(dc * quantDc), kDcRounding));
}

#if defined(__SSE2__)

namespace {

inline __m128i mulqV(__m128i a, int16_t c)
{
    return _mm_mulhi_epi16(_mm_slli_epi16(a, 2), _mm_set1_epi16(c));
}

inline void aanPassV(__m128i* v)
{
    const __m128i t10 = _mm_add_epi16(v[0], v[4]);
    const __m128i t11 = _mm_sub_epi16(v[0], v[4]);
    const __m128i t13 = _mm_add_epi16(v[2], v[6]);
    const __m128i t12 = _mm_sub_epi16(mulqV(_mm_sub_epi16(v[2], v[6]), kMulSqrt2), t13);
    const __m128i e0 = _mm_add_epi16(t10, t13);
    const __m128i e3 = _mm_sub_epi16(t10, t13);
    const __m128i e1 = _mm_add_epi16(t11, t12);
    const __m128i e2 = _mm_sub_epi16(t11, t12);
    const __m128i z13 = _mm_add_epi16(v[5], v[3]);
    const __m128i z10 = _mm_sub_epi16(v[5], v[3]);
    const __m128i z11 = _mm_add_epi16(v[1], v[7]);
    const __m128i z12 = _mm_sub_epi16(v[1], v[7]);
    const __m128i o7 = _mm_add_epi16(z11, z13);
    const __m128i o11 = mulqV(_mm_sub_epi16(z11, z13), kMulSqrt2);
    const __m128i o10 = _mm_add_epi16(mulqV(z12, kMulMinus0765), mulqV(z10, kMulMinus1848));
    const __m128i o12 = _mm_add_epi16(mulqV(z10, kMulMinus0765), mulqV(z12, kMul1848));
    const __m128i o6 = _mm_sub_epi16(o12, o7);
    const __m128i o5 = _mm_sub_epi16(o11, o6);
    const __m128i o4 = _mm_add_epi16(o10, o5);
    v[0] = _mm_add_epi16(e0, o7);
    v[7] = _mm_sub_epi16(e0, o7);
    v[1] = _mm_add_epi16(e1, o6);
    v[6] = _mm_sub_epi16(e1, o6);
    v[2] = _mm_add_epi16(e2, o5);
    v[5] = _mm_sub_epi16(e2, o5);
    v[4] = _mm_add_epi16(e3, o4);
    v[3] = _mm_sub_epi16(e3, o4);
}

inline void transpose8x8(__m128i* r)
{
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
    const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
    const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
    const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
    const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

} // namespace

void idctFastSimd(const int16_t* coef, const int16_t* quant, uint8_t* out, int stride)
{
    __m128i v[8];
    for (int r = 0; r < 8; ++r) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + r * 8));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + r * 8));
        v[r] = _mm_mullo_epi16(c, q);
    }
    v[0] = _mm_add_epi16(v[0], _mm_setr_epi16(kDcRounding, 0, 0, 0, 0, 0, 0, 0));
    aanPassV(v); // columns: lane = column, vector = row
    transpose8x8(v);
    aanPassV(v); // rows: lane = row, vector = column
    const __m128i bias = _mm_set1_epi16(128);
    for (int i = 0; i < 8; ++i)
        v[i] = _mm_adds_epi16(_mm_srai_epi16(v[i], 5), bias);
    // v[i] holds output column i (lane = row). Pack to bytes, then transpose the
    // 8x8 bytes: three rounds of interleaving on four registers.
    const __m128i p0 = _mm_packus_epi16(v[0], v[1]), p1 = _mm_packus_epi16(v[2], v[3]);
    const __m128i p2 = _mm_packus_epi16(v[4], v[5]), p3 = _mm_packus_epi16(v[6], v[7]);
    const __m128i t0 = _mm_unpacklo_epi8(p0, p1), t1 = _mm_unpackhi_epi8(p0, p1);
    const __m128i t2 = _mm_unpacklo_epi8(p2, p3), t3 = _mm_unpackhi_epi8(p2, p3);
    const __m128i u0 = _mm_unpacklo_epi8(t0, t1), u1 = _mm_unpackhi_epi8(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi8(t2, t3), u3 = _mm_unpackhi_epi8(t2, t3);
    const __m128i rows[4] = {_mm_unpacklo_epi32(u0, u2), _mm_unpackhi_epi32(u0, u2), _mm_unpacklo_epi32(u1, u3),
                             _mm_unpackhi_epi32(u1, u3)};
    for (int r = 0; r < 4; ++r) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * r * stride), rows[r]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * r + 1) * stride), _mm_unpackhi_epi64(rows[r], rows[r]));
    }
}

#else

void idctFastSimd(const int16_t* coef, const int16_t* quant, uint8_t* out, int stride)
{
    idctFastScalar(coef, quant, out, stride);
}

#endif

// ---------------------------------------------------------------------------
// Accurate IDCT: LL&M with 13-bit constants, two extra fraction bits between
// the passes (rounded by +1024 >> 11), final rounding shift by 18. Computed in
// 64 bits so that no coefficient a corrupt file can produce overflows.
// ---------------------------------------------------------------------------

namespace {

constexpr int64_t k0298 = 2446;   // 0.298631336
constexpr int64_t k0390 = 3196;   // 0.390180644
constexpr int64_t k0541 = 4433;   // 0.541196100
constexpr int64_t k0765 = 6270;   // 0.765366865
constexpr int64_t k0899 = 7373;   // 0.899976223
constexpr int64_t k1175 = 9633;   // 1.175875602
constexpr int64_t k1501 = 12299;  // 1.501321110
constexpr int64_t k1847 = 15137;  // 1.847759065
constexpr int64_t k1961 = 16069;  // 1.961570560
constexpr int64_t k2053 = 16819;  // 2.053119869
constexpr int64_t k2562 = 20995;  // 2.562915447
constexpr int64_t k3072 = 25172;  // 3.072711026

// in: 8 values; out: 8 values scaled by 2^13 (before the caller's descale).
inline void llmPass(const int64_t* in, int64_t* out)
{
    // Even part.
    int64_t z2 = in[2], z3 = in[6];
    int64_t z1 = (z2 + z3) * k0541;
    const int64_t t2 = z1 - z3 * k1847;
    const int64_t t3 = z1 + z2 * k0765;
    z2 = in[0];
    z3 = in[4];
    const int64_t t0 = (z2 + z3) * 8192;
    const int64_t t1 = (z2 - z3) * 8192;
    const int64_t e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;
    // Odd part.
    int64_t o0 = in[7], o1 = in[5], o2 = in[3], o3 = in[1];
    z1 = o0 + o3;
    z2 = o1 + o2;
    z3 = o0 + o2;
    int64_t z4 = o1 + o3;
    const int64_t z5 = (z3 + z4) * k1175;
    o0 *= k0298;
    o1 *= k2053;
    o2 *= k3072;
    o3 *= k1501;
    z1 *= -k0899;
    z2 *= -k2562;
    z3 = z3 * -k1961 + z5;
    z4 = z4 * -k0390 + z5;
    o0 += z1 + z3;
    o1 += z2 + z4;
    o2 += z2 + z3;
    o3 += z1 + z4;
    out[0] = e10 + o3;
    out[7] = e10 - o3;
    out[1] = e11 + o2;
    out[6] = e11 - o2;
    out[2] = e12 + o1;
    out[5] = e12 - o1;
    out[3] = e13 + o0;
    out[4] = e13 - o0;
}

} // namespace

void idctAccurate(const int16_t* coef, const int32_t* quant, uint8_t* out, int stride)
{
    int64_t ws[64];
    int64_t in[8], res[8];
    for (int col = 0; col < 8; ++col) {
        for (int r = 0; r < 8; ++r)
            in[r] = static_cast<int64_t>(coef[r * 8 + col]) * quant[r * 8 + col];
        llmPass(in, res);
        for (int r = 0; r < 8; ++r)
            ws[r * 8 + col] = (res[r] + 1024) >> 11;
    }
    for (int row = 0; row < 8; ++row) {
        llmPass(ws + row * 8, res);
        uint8_t* o = out + row * stride;
        for (int c = 0; c < 8; ++c) {
            const int64_t s = ((res[c] + (int64_t(1) << 17)) >> 18) + 128;
            o[c] = static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
        }
    }
}

// ---------------------------------------------------------------------------
// Colour conversion.
// ---------------------------------------------------------------------------

void yccToRgbxScalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int width,
                     int hShift, const ColourTables& t)
{
    for (int x = 0; x < width; ++x) {
        const int32_t luma = y[x];
        const int c = x >> hShift;
        const int blue = cb[c], red = cr[c];
        out[4 * x + 0] = clampByte(luma + t.rTab[red]);
        out[4 * x + 1] = clampByte(luma + ((t.gCb[blue] + t.gCr[red]) >> 16));
        out[4 * x + 2] = clampByte(luma + t.bTab[blue]);
    }
}

#if defined(__SSE2__)

namespace {

// (x * c + 32768) >> 16 exactly: high half plus the rounding carry of the low half.
inline __m128i mulRound16(__m128i x, __m128i c)
{
    return _mm_add_epi16(_mm_mulhi_epi16(x, c), _mm_srli_epi16(_mm_mullo_epi16(x, c), 15));
}

// Chroma contributions for 8 samples (x = sample - 128 in each lane), with the
// table constants split so that every multiplier fits 16 bits:
//   91882 = 65536 + 26346, 116130 = 131072 - 14942, -46802 = -65536 + 18734.
struct ChromaTerms {
    __m128i r, g, b; // 8 x int16: Rtab[Cr], (Gcb[Cb] + Gcr[Cr]) >> 16, Btab[Cb]
};

inline ChromaTerms chromaTerms(__m128i cbw, __m128i crw)
{
    const __m128i k26346 = _mm_set1_epi16(26346);
    const __m128i kM14942 = _mm_set1_epi16(-14942);
    const __m128i kG = _mm_setr_epi16(-22554, 18734, -22554, 18734, -22554, 18734, -22554, 18734);
    const __m128i half = _mm_set1_epi32(32768);
    ChromaTerms t;
    t.r = _mm_add_epi16(crw, mulRound16(crw, k26346));
    t.b = _mm_add_epi16(_mm_add_epi16(cbw, cbw), mulRound16(cbw, kM14942));
    const __m128i lo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cbw, crw), kG), half), 16);
    const __m128i hi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cbw, crw), kG), half), 16);
    t.g = _mm_sub_epi16(_mm_packs_epi32(lo, hi), crw);
    return t;
}

// 16 pixels of one row: luma plus the terms for pixels 0-7 (lo) and 8-15 (hi).
inline void storePixels16(const uint8_t* y, const ChromaTerms& lo, const ChromaTerms& hi, uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
    const __m128i yv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i yl = _mm_unpacklo_epi8(yv, zero), yh = _mm_unpackhi_epi8(yv, zero);
    const __m128i r = _mm_packus_epi16(_mm_add_epi16(yl, lo.r), _mm_add_epi16(yh, hi.r));
    const __m128i g = _mm_packus_epi16(_mm_add_epi16(yl, lo.g), _mm_add_epi16(yh, hi.g));
    const __m128i b = _mm_packus_epi16(_mm_add_epi16(yl, lo.b), _mm_add_epi16(yh, hi.b));
    const __m128i rgLo = _mm_unpacklo_epi8(r, g);
    const __m128i rgHi = _mm_unpackhi_epi8(r, g);
    const __m128i bLo = _mm_unpacklo_epi8(b, zero);
    const __m128i bHi = _mm_unpackhi_epi8(b, zero);
    const __m128i px[4] = {_mm_unpacklo_epi16(rgLo, bLo), _mm_unpackhi_epi16(rgLo, bLo),
                           _mm_unpacklo_epi16(rgHi, bHi), _mm_unpackhi_epi16(rgHi, bHi)};
    __m128i* dst = reinterpret_cast<__m128i*>(out);
    for (int i = 0; i < 4; ++i) {
        // The fourth byte of each pixel keeps what the buffer held.
        const __m128i old = _mm_loadu_si128(dst + i);
        _mm_storeu_si128(dst + i, _mm_or_si128(_mm_and_si128(old, keep), px[i]));
    }
}

inline ChromaTerms duplicateLo(const ChromaTerms& t)
{
    return {_mm_unpacklo_epi16(t.r, t.r), _mm_unpacklo_epi16(t.g, t.g), _mm_unpacklo_epi16(t.b, t.b)};
}

inline ChromaTerms duplicateHi(const ChromaTerms& t)
{
    return {_mm_unpackhi_epi16(t.r, t.r), _mm_unpackhi_epi16(t.g, t.g), _mm_unpackhi_epi16(t.b, t.b)};
}

} // namespace

void yccToRgbxSimd2(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* out0,
                    uint8_t* out1, int width, int hShift)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i centre = _mm_set1_epi16(128);
    for (int x = 0; x < width; x += 16) {
        ChromaTerms lo, hi;
        if (hShift) {
            // Eight chroma samples serve sixteen pixels: terms once, then doubled.
            const __m128i b8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + (x >> 1)));
            const __m128i r8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + (x >> 1)));
            const ChromaTerms t = chromaTerms(_mm_sub_epi16(_mm_unpacklo_epi8(b8, zero), centre),
                                              _mm_sub_epi16(_mm_unpacklo_epi8(r8, zero), centre));
            lo = duplicateLo(t);
            hi = duplicateHi(t);
        } else {
            const __m128i b16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x));
            const __m128i r16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x));
            lo = chromaTerms(_mm_sub_epi16(_mm_unpacklo_epi8(b16, zero), centre),
                             _mm_sub_epi16(_mm_unpacklo_epi8(r16, zero), centre));
            hi = chromaTerms(_mm_sub_epi16(_mm_unpackhi_epi8(b16, zero), centre),
                             _mm_sub_epi16(_mm_unpackhi_epi8(r16, zero), centre));
        }
        storePixels16(y0 + x, lo, hi, out0 + 4 * x);
        if (y1)
            storePixels16(y1 + x, lo, hi, out1 + 4 * x);
    }
}

void yccToRgbxSimd(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int width,
                   int hShift, const ColourTables&)
{
    yccToRgbxSimd2(y, nullptr, cb, cr, out, nullptr, width, hShift);
}

bool haveSimd() { return true; }

#else

void yccToRgbxSimd(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int width,
                   int hShift, const ColourTables& t)
{
    yccToRgbxScalar(y, cb, cr, out, width, hShift, t);
}

void yccToRgbxSimd2(const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, uint8_t*, int, int) {}

bool haveSimd() { return false; }

#endif

} // namespace jpegk
