// Hand-held recording: record reader, loop closing, tilt smoothing and playback.
#include "scene/handheld.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/file_bytes.h"
#include "scene/little_endian.h"
#include "scene/path_spline.h"

namespace {

constexpr size_t kSwayRecordBytes = 28;
constexpr double kOffsetScale = 0.0001482;

// Blends the last six values from value[n - 6] towards value[0] so that the wrap
// from the end of the recording to its start has no jump.
template <typename Get, typename Set>
void closeLoop(size_t n, Get get, Set set)
{
    const size_t base = n - 6;
    const double from = get(base);
    const double to = get(0);
    for (size_t k = 0; k < 6; ++k)
        set(base + k, from + (to - from) * (static_cast<double>(k) / 6.0));
}

bool withinLimit(double v) { return std::fabs(v) <= kHandheldValueLimit; } // NaN fails too

void finishLoad(HandheldRecording& rec)
{
    const size_t n = rec.samples.size();
    if (n > 5) {
        auto& s = rec.samples;
        closeLoop(n, [&](size_t i) { return double(s[i].x); }, [&](size_t i, double v) { s[i].x = float(v); });
        closeLoop(n, [&](size_t i) { return double(s[i].y); }, [&](size_t i, double v) { s[i].y = float(v); });
        closeLoop(n, [&](size_t i) { return double(s[i].z); }, [&](size_t i, double v) { s[i].z = float(v); });
        auto& b = rec.second;
        closeLoop(n, [&](size_t i) { return b[i]; }, [&](size_t i, double v) { b[i] = v; });
        auto& a = rec.tilt;
        closeLoop(n, [&](size_t i) { return a[i]; }, [&](size_t i, double v) { a[i] = v; });
    }

    // Smoothing needs truncate(n / 10) >= 4 points in the coarse pass to give all
    // n values back; shorter recordings keep their raw tilt and are not used.
    // Paths index with 16 bits, which also bounds the recording length used here.
    if (n < kHandheldMinSamples || n > 65535)
        return;
    PathSpline path;
    path.closed = false;
    for (size_t i = 0; i < n; ++i)
        path.addPoint(Vec3{1, static_cast<float>(i), static_cast<float>(rec.tilt[i]), 0.0f});
    path.resampleByArcLength(static_cast<int>(n / 10), 3);
    path.resampleByArcLength(static_cast<int>(n), 3);
    for (size_t i = 0; i < n && i < path.points.size(); ++i)
        rec.tilt[i] = static_cast<double>(path.points[i].y);
}

} // namespace

bool HandheldRecording::loadFromMemory(const uint8_t* data, size_t size)
{
    samples.clear();
    tilt.clear();
    second.clear();
    const size_t n = size / kSwayRecordBytes;
    samples.reserve(n);
    tilt.reserve(n);
    second.reserve(n);
    for (size_t k = 0; k < n; ++k) {
        const uint8_t* r = data + k * kSwayRecordBytes;
        samples.push_back(Vec3{1, le::f32(r), le::f32(r + 4), le::f32(r + 8)});
        tilt.push_back(le::f64(r + 12));
        second.push_back(le::f64(r + 20));
        // One such value spoils the whole recording: the tilt smoothing spreads it
        // over every sample.
        if (!withinLimit(samples.back().x) || !withinLimit(samples.back().y) || !withinLimit(tilt.back())) {
            samples.clear();
            tilt.clear();
            second.clear();
            return false;
        }
    }
    finishLoad(*this);
    return true;
}

bool HandheldRecording::load(const char* path)
{
    std::string bytes, why;
    if (!readFileBytes(path, bytes, why)) {
        std::fprintf(stderr, "%s %s; the show plays without the hand-held sway\n", path, why.c_str());
        return false;
    }
    if (!loadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
        std::fprintf(stderr,
                     "%s: hand-held recording left out (a value that is not finite or beyond %g); the show "
                     "plays without it\n",
                     path, kHandheldValueLimit);
        return true;
    }
    if (!usable())
        std::fprintf(stderr, "%s holds %zu records (%zu bytes), too few to use; the show plays without the "
                     "hand-held sway\n",
                     path, samples.size(), bytes.size());
    else if (bytes.size() % kSwayRecordBytes != 0)
        std::fprintf(stderr, "%s ends inside a record (%zu bytes left over): it may be cut short\n", path,
                     bytes.size() % kSwayRecordBytes);
    return true;
}

uint32_t HandheldRecording::sampleIndex(double t) const
{
    const size_t n = samples.size();
    if (n < 2)
        return 0;
    double v = std::trunc(t * 35.0 - 28.0);
    // Below 0.8 s the value is negative and plays from its unsigned 32-bit pattern;
    // the low 32 bits of a 64-bit integer give exactly that pattern.
    int64_t whole = 0;
    if (v == v)
        whole = v >= 9.0e18 ? INT64_MAX : (v <= -9.0e18 ? INT64_MIN : static_cast<int64_t>(v));
    uint32_t pattern = static_cast<uint32_t>(static_cast<uint64_t>(whole));
    return static_cast<uint32_t>(pattern % static_cast<uint64_t>(n - 1));
}

void applyHandheld(const HandheldRecording& rec, double t, Vec3& eye, Vec3& target, Vec3& up)
{
    if (!rec.usable())
        return;
    const uint32_t i = rec.sampleIndex(t);
    const Vec3& sample = rec.samples[i];
    Vec3 forward = sub(target, eye);
    normalize(forward);
    Vec3 right = cross(forward, up);
    target = add(add(target, scale(right, static_cast<float>(sample.x * kOffsetScale))),
                 scale(up, static_cast<float>(sample.y * kOffsetScale)));
    up.x = static_cast<float>(up.x + 0.4 * std::sin(rec.tilt[i] * 1.7188733853924696 * kOffsetScale));
}
