// Camera keys and the hand-held recording, little-endian whatever the host.
#include "tools/assetgen/data_files.h"

#include "tools/assetgen/mesh_kit.h"

#include <cmath>
#include <cstring>

namespace {

void putBytes(std::vector<uint8_t>& out, const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    uint32_t probe = 1;
    bool little = *reinterpret_cast<uint8_t*>(&probe) == 1;
    for (size_t i = 0; i < n; ++i)
        out.push_back(little ? b[i] : b[n - 1 - i]);
}
void putF32(std::vector<uint8_t>& out, float v) { putBytes(out, &v, 4); }
void putF64(std::vector<uint8_t>& out, double v) { putBytes(out, &v, 8); }

// Smooth random motion: cubic interpolation through random knots `rate` per second.
struct Wander {
    std::vector<double> knots;
    double rate;
    Wander(uint32_t seed, double knotsPerSecond, double seconds) : rate(knotsPerSecond)
    {
        Lcg rng(seed);
        size_t n = static_cast<size_t>(seconds * knotsPerSecond) + 4;
        for (size_t i = 0; i < n; ++i)
            knots.push_back(rng.signedUnit());
    }
    double at(double t) const
    {
        double x = t * rate;
        size_t i = static_cast<size_t>(x);
        double f = x - i;
        double p0 = knots[i], p1 = knots[i + 1], p2 = knots[i + 2], p3 = knots[i + 3];
        // Catmull-Rom through p1..p2.
        return 0.5 * ((2 * p1) + (-p0 + p2) * f + (2 * p0 - 5 * p1 + 4 * p2 - p3) * f * f +
                      (-p0 + 3 * p1 - 3 * p2 + p3) * f * f * f);
    }
};

} // namespace

std::vector<uint8_t> cameraKeyFile()
{
    std::vector<uint8_t> out;
    int32_t count = 0;
    putBytes(out, &count, 4);
    return out;
}

std::vector<uint8_t> handheldRecording()
{
    // Units: the scene multiplies offsets by 0.0001482, so 150 units move the
    // target by about 0.02; tilt values of a few hundred sway the up vector by a
    // few hundredths. Slow drift (a knot every 2.5 s), a breathing wave, and a
    // faint tremor (a knot every 0.2 s) for the nervous hand.
    const double seconds = kHandheldSeconds + 1;
    Wander driftX(1, 0.4, seconds), driftY(2, 0.35, seconds), tremorX(3, 5, seconds), tremorY(4, 4.5, seconds);
    Wander tilt(5, 0.25, seconds), tiltNerve(6, 2.0, seconds), depth(7, 0.3, seconds);
    std::vector<uint8_t> out;
    const int n = kHandheldSeconds * kHandheldRate;
    out.reserve(static_cast<size_t>(n) * 28);
    for (int i = 0; i < n; ++i) {
        double t = i / double(kHandheldRate);
        double breath = std::sin(t * 2 * M_PI / 4.3);
        double x = 150 * driftX.at(t) + 22 * tremorX.at(t) + 12 * breath;
        double y = 120 * driftY.at(t) + 18 * tremorY.at(t) + 30 * breath;
        double z = 80 * depth.at(t);
        double a = 320 * tilt.at(t) + 40 * tiltNerve.at(t);
        double b = t; // spare channel: the recording's own clock
        putF32(out, static_cast<float>(x));
        putF32(out, static_cast<float>(y));
        putF32(out, static_cast<float>(z));
        putF64(out, a);
        putF64(out, b);
    }
    return out;
}
