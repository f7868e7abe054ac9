// Fields of the little-endian binary data files (camera keys, hand-held
// recording), read byte by byte so that neither alignment nor the host's byte
// order matters.
#pragma once
#include <cstdint>
#include <cstring>

namespace le {

inline uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline int32_t i32(const uint8_t* p) { return static_cast<int32_t>(u32(p)); }

inline float f32(const uint8_t* p)
{
    const uint32_t bits = u32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline double f64(const uint8_t* p)
{
    const uint64_t bits = uint64_t(u32(p)) | uint64_t(u32(p + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

} // namespace le
