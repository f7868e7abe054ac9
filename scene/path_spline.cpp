// Catmull-Rom evaluation, look-ahead and arc-length resampling of PathSpline.
// Float32 throughout, including the shift that closed paths apply near their
// ends (a large integer added to s), so precision there moves in steps on purpose.
#include "scene/path_spline.h"

#include <algorithm>
#include <cmath>

namespace {

// Truncation toward zero that stays defined for NaN and huge values.
int64_t truncToInt(float s)
{
    if (!(s == s))
        return 0;
    constexpr float kLimit = 4.0e18f;
    if (s >= kLimit)
        return static_cast<int64_t>(kLimit);
    if (s <= -kLimit)
        return -static_cast<int64_t>(kLimit);
    return static_cast<int64_t>(s);
}

int64_t wrapIndex(int64_t i, int64_t n)
{
    int64_t r = i % n;
    return r < 0 ? r + n : r;
}

int64_t clampIndex(int64_t i, int64_t n) { return std::clamp<int64_t>(i, 0, n - 1); }

float hermite(float c0, float c1, float c2, float c3, float f)
{
    float p0 = c1;
    float p1 = c2;
    float m0 = (c2 - c0) * 0.5f;
    float m1 = (c3 - c1) * 0.5f;
    return ((2.0f * p0 - 2.0f * p1 + m0 + m1) * f + (3.0f * p1 - 3.0f * p0 - 2.0f * m0 - m1)) * (f * f) +
           m0 * f + p0;
}

void evaluateOn(const std::vector<Vec3>& p, const SplineSegment& g, Vec3& out)
{
    const Vec3& a = p[g.i0];
    const Vec3& b = p[g.i1];
    const Vec3& c = p[g.i2];
    const Vec3& d = p[g.i3];
    out.x = hermite(a.x, b.x, c.x, d.x, g.f);
    out.y = hermite(a.y, b.y, c.y, d.y, g.f);
    out.z = hermite(a.z, b.z, c.z, d.z, g.f);
}

bool holds(const std::vector<Vec3>& channel, int32_t count)
{
    return count >= 1 && channel.size() >= static_cast<size_t>(count);
}

} // namespace

SplineSegment selectSegment(float s, int32_t n, bool closed)
{
    int64_t e, d;
    float f;
    if (2.0f < s && s < static_cast<float>(n - 2)) {
        e = truncToInt(s);
        d = e;
        f = s - static_cast<float>(e);
    } else if (closed) {
        // The shift keeps s positive for the wrap; it is done in float32, so for
        // long paths the fraction near the ends is quantised (0.5 steps at n = 600).
        s = s + static_cast<float>(static_cast<int64_t>(n) * 10000);
        e = truncToInt(s);
        d = wrapIndex(e, n);
        f = s - static_cast<float>(e);
    } else {
        e = truncToInt(s);
        f = s < 0.0f ? 0.0f : (s > static_cast<float>(n) ? 1.0f : s - static_cast<float>(e));
        d = clampIndex(e, n);
    }

    int64_t i0, i1, i2, i3;
    if (!closed) {
        i0 = clampIndex(d - 1, n);
        i1 = clampIndex(d, n);
        i2 = clampIndex(d + 1, n);
        i3 = clampIndex(d + 2, n);
    } else if (d > 0 && d < n - 2) {
        i0 = d - 1;
        i1 = d;
        i2 = d + 1;
        i3 = d + 2;
    } else if (d != 0) {
        i0 = d - 1;
        i1 = d;
        i2 = wrapIndex(d + 1, n);
        i3 = wrapIndex(d + 2, n);
    } else {
        // Wrapped as well, so that paths of one or two points stay inside their points.
        i0 = wrapIndex(e - 1, n);
        i1 = 0;
        i2 = wrapIndex(1, n);
        i3 = wrapIndex(2, n);
    }
    return SplineSegment{static_cast<uint16_t>(i0), static_cast<uint16_t>(i1), static_cast<uint16_t>(i2),
                         static_cast<uint16_t>(i3), f};
}

void PathSpline::addPoint(const Vec3& p)
{
    Vec3 q = p;
    q.tag = 1;
    points.push_back(q);
    ++count;
}

void PathSpline::assign(const PathSpline& other)
{
    if (this == &other)
        return;
    points.clear();
    channel2.clear();
    channel3.clear();
    count = other.count;
    channels = other.channels;
    closed = other.closed;
    for (const Vec3& v : other.points)
        points.push_back(v);
    for (const Vec3& v : other.channel2)
        channel2.push_back(v);
    for (const Vec3& v : other.channel3)
        channel3.push_back(v);
}

void PathSpline::evaluate(float s, Vec3& out) const
{
    if (!holds(points, count))
        return;
    SplineSegment g = selectSegment(s, count, closed);
    evaluateOn(points, g, out);
    if (!closed) {
        if (s > static_cast<float>(count))
            out = points[count - 1];
        else if (s < 0.0f)
            out = points[0];
    }
}

void PathSpline::evaluateChannels(float s, Vec3& out1, Vec3& out2, Vec3& out3) const
{
    if (points.empty()) {
        out1 = out2 = out3 = Vec3{1, 100.0f, 0.0f, 0.0f};
        return;
    }
    if (count < 2)
        return;
    SplineSegment g = selectSegment(s, count, true);
    if (holds(points, count))
        evaluateOn(points, g, out1);
    if (channels > 2 && holds(channel3, count))
        evaluateOn(channel3, g, out3);
    if (channels >= 2 && holds(channel2, count))
        evaluateOn(channel2, g, out2);
}

void PathSpline::evaluateWithLookAhead(float s, float ds, Vec3& here, Vec3& ahead)
{
    int32_t saved = channels;
    channels = 1;
    Vec3 scratch{1, 0.0f, 0.0f, 0.0f};
    evaluateChannels(s, here, scratch, scratch);
    evaluateChannels(s + ds, ahead, scratch, scratch);
    channels = saved;
}

void PathSpline::resampleByArcLength(int n, int perSegment)
{
    const int a = perSegment;
    if (points.size() < 4 || a <= 0 || !holds(points, count))
        return;

    // Cumulative length table, one entry per sub-segment boundary.
    const int64_t segs = static_cast<int64_t>(count) * a;
    std::vector<float> table(static_cast<size_t>(segs) + 1);
    table[0] = 0.0f;
    if (a >= 2) {
        for (int64_t i = 0; i < segs; ++i) {
            Vec3 from{1, 0.0f, 0.0f, 0.0f};
            Vec3 to{1, 0.0f, 0.0f, 0.0f};
            evaluate(static_cast<float>(i) / static_cast<float>(a), from);
            evaluate(static_cast<float>(i + 1) / static_cast<float>(a), to);
            table[i + 1] = table[i] + length(sub(to, from));
        }
    } else {
        for (int64_t i = 0; i < segs; ++i)
            table[i + 1] = table[i] + length(sub(points[(i + 1) % count], points[i]));
    }
    const float total = table[segs];

    std::vector<Vec3> fresh;
    fresh.reserve(static_cast<size_t>(std::max(n, 0)));
    int64_t j = 0;
    for (int k = 0; k < n; ++k) {
        float target = (static_cast<float>(k) / static_cast<float>(n)) * total;
        while (j < segs && !(table[j] <= target && target <= table[j + 1]))
            ++j;
        // Only lengths that are not numbers (infinite coordinates) run off the
        // table; stay on its last segment instead of reading past it.
        if (j >= segs)
            j = segs - 1;
        float width = table[j + 1] - table[j];
        if (!(static_cast<double>(width) > 0.001))
            width = 0.001f;
        float u = ((target - table[j]) / width + static_cast<float>(j)) / static_cast<float>(a);
        Vec3 p{1, 0.0f, 0.0f, 0.0f};
        evaluate(u, p);
        p.tag = 1;
        fresh.push_back(p);
    }

    count = 0;
    channels = 3;
    points.clear();
    channel2.clear();
    channel3.clear();
    for (const Vec3& p : fresh) {
        points.push_back(p);
        ++count;
    }
}
