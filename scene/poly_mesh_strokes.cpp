// PolyMesh: the pencil stroke generator, hatching towards each polygon's centre and
// outlines along its front-facing edges. No GL here: the modelview matrix comes in
// as an argument (poly_mesh_gl.cpp reads it from GL).
#include "scene/poly_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/random.h"

namespace {

// Eye-space position of p under a column-major modelview matrix.
inline Vec3 toEye(const float* m, const Vec3& p)
{
    return Vec3{1, m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

// a + (b - a)·r with exactly the rounding of add(a, scale(sub(b, a), r)); written
// out because it runs for every stroke point and the helpers are not inlined.
inline Vec3 lerpPoint(const Vec3& a, const Vec3& b, float r)
{
    if (a.tag == 0 || b.tag == 0)
        return add(a, scale(sub(b, a), r));
    return Vec3{1, a.x + (b.x - a.x) * r, a.y + (b.y - a.y) * r, a.z + (b.z - a.z) * r};
}

// add(a, b) and length(sub(b, a)) with the helpers' rounding, for the per-polygon work.
inline Vec3 addPoint(const Vec3& a, const Vec3& b)
{
    if (a.tag == 0 || b.tag == 0)
        return Vec3{1, 0.0f, 0.0f, 0.0f};
    return Vec3{1, a.x + b.x, a.y + b.y, a.z + b.z};
}

inline float distance(const Vec3& a, const Vec3& b)
{
    if (a.tag == 0 || b.tag == 0)
        return 0.0f;
    float x = b.x - a.x, y = b.y - a.y, z = b.z - a.z;
    return static_cast<float>(std::sqrt(static_cast<double>(x * x + y * y + z * z)));
}

} // namespace

void hatchPassCounts(double m, double density, size_t corners, std::vector<size_t>& counts)
{
    counts.resize(corners + 1);
    // Fills the counts for a weight; false when a pass lies so close to a whole
    // number (or so near the ends of the range) that a weight a few units in the
    // last place away could give it another count.
    auto fill = [&](double weight) {
        double y = weight;
        bool certain = true;
        for (size_t e = 0; e <= corners; ++e) {
            y *= density;
            const double limit = std::max(y, 0.0) * 35.0;
            // j < limit for whole j exactly when j < ceil(limit); no points when the
            // limit is not a number.
            counts[e] = limit > 0.0 ? static_cast<size_t>(std::ceil(std::min(limit, 1e15))) : 0;
            if (limit > 0.0 && (limit < 1e-280 || limit > 0.999e15 ||
                                std::fabs(limit - std::round(limit)) <= limit * 1e-12))
                certain = false;
        }
        return certain;
    };
    if (m == 0.0) {
        fill(0.0);
        return;
    }
    // m^6 as a product is within a few units in the last place of pow's, which
    // decides the counts whenever every pass is clear of a whole number.
    const double m2 = m * m;
    if (!fill(m2 * m2 * m2))
        fill(std::pow(m, 6.0));
}

int PolyMesh::generateStrokesWithMatrix(const float modelview[16], double time, std::vector<PathSpline>& strokes,
                                        bool hatch, double density, unsigned outlineStep, double from, double to,
                                        StrokeWindow* window)
{
    rng::srand(42323);
    const float* M = modelview;
    // The wanted points as indices of this call's own path.
    const StrokeWindow all;
    const StrokeWindow& w = window ? *window : all;
    const int64_t wantFrom = w.first - w.before;
    const int64_t wantTo = w.last == INT64_MAX ? INT64_MAX : w.last - w.before;
    // The part of [base, base + count) that is wanted, as offsets from base.
    auto wanted = [&](size_t base, size_t count, size_t& from, size_t& to) {
        const int64_t b = static_cast<int64_t>(base), c = static_cast<int64_t>(count);
        from = static_cast<size_t>(std::clamp<int64_t>(wantFrom - b, 0, c));
        to = static_cast<size_t>(std::clamp<int64_t>(wantTo == INT64_MAX ? c : wantTo - b, 0, c));
        if (to < from)
            to = from;
    };

    PathSpline path;
    const size_t n = polygons.size();
    const double last = static_cast<double>(n) * to;
    double first = std::trunc(static_cast<double>(n) * from);
    // A range reaching outside the list (from < 0, to > 1, rounding) is cut to it.
    int64_t k = first > 0.0 ? static_cast<int64_t>(std::min(first, static_cast<double>(n))) : 0;
    // About what a polygon of the range makes; the vector grows past it if need be.
    const double rangePolygons = std::clamp(std::ceil(last) - static_cast<double>(k), 0.0, static_cast<double>(n));
    path.points.reserve(std::min<size_t>(static_cast<size_t>(rangePolygons), 1 << 20) * 24);

    const double outlineWidth = static_cast<double>(widthA) * 0.1 * widthB;
    const uint64_t edgeStep = static_cast<uint64_t>(outlineStep) + 1;
    const float lightLength = length(light);

    size_t produced = 0;      // points counted so far, made or not
    std::vector<Vec3> moved;  // deformed corner points of the current polygon
    std::vector<size_t> passCounts; // points of its hatching passes
    int edgeCounter = 0;

    for (; static_cast<size_t>(k) < n && static_cast<double>(k) < last; ++k) {
        // Past the window nothing more is wanted, not even the count.
        if (wantTo != INT64_MAX && static_cast<int64_t>(produced) > wantTo)
            break;
        const std::vector<Vec3>& corners = polygons[k].points;
        const size_t np = corners.size();
        // Two corners give no plane and hatching divides by the corner count.
        if (np < 3)
            continue;

        // deform is a pure function of its arguments, so the corners moved with
        // index 0 are computed once per polygon for the centre and the hatching,
        // and, for a deform that ignores its index, for the outline too.
        const Vec3* pts = corners.data();
        if (deform && (hatch || !deformUsesIndex)) {
            moved.resize(np);
            for (size_t i = 0; i < np; ++i)
                moved[i] = deform(corners[i], time, 0);
            pts = moved.data();
        }

        Vec3 centre{1, 0.0f, 0.0f, 0.0f};
        if (hatch) {
            Vec3 sum{1, 0.0f, 0.0f, 0.0f};
            for (size_t i = 0; i < np; ++i)
                sum = addPoint(sum, pts[i]);
            centre = scale(sum, 1.0f / static_cast<float>(np));
        }

        const Vec3 eyeCentre = toEye(M, centre);
        Vec3 normal = cross(sub(eyeCentre, toEye(M, corners[0])), sub(eyeCentre, toEye(M, corners[1])));
        normalize(normal);

        double m;
        if (static_cast<double>(lightLength) > 0.01)
            m = (light.tag != 0 && normal.tag != 0) ? static_cast<double>(dot(light, normal)) : 0.0;
        else
            m = 0.707 * normal.x + 0.0 * normal.y + 0.707 * normal.z;
        if (!(m >= 0.0))
            m = 0.0;
        const float facing = normal.tag != 0 ? normal.z : 0.0f;

        if (hatch) {
            hatchPassCounts(m, density, np, passCounts);
            for (size_t e = 0; e <= np; ++e) {
                const size_t passPoints = passCounts[e];
                const size_t base = produced;
                produced += passPoints;
                size_t makeFrom, makeTo;
                wanted(base, passPoints, makeFrom, makeTo);
                // The made points are written in place: no growth check per point.
                const size_t at = path.points.size();
                path.points.resize(at + (makeTo - makeFrom));
                Vec3* out = path.points.data() + at;
                // Points before and after the wanted ones only take their random numbers.
                for (size_t j = 0; j < makeFrom; ++j)
                    rng::rand();
                size_t corner = makeFrom % np;
                for (size_t j = makeFrom; j < makeTo; ++j) {
                    const Vec3& a = pts[corner];
                    if (++corner == np)
                        corner = 0;
                    double r = (rng::rand() % 10000) * 0.0001;
                    Vec3 q = lerpPoint(a, centre, static_cast<float>(r));
                    Vec3 eye = toEye(M, q);
                    double s = eye.z * 0.03 + 1.0;
                    double s2 = s * s;
                    double width = s2 * s2 * s * 0.15 * widthA * widthB;
                    out[j - makeFrom] = Vec3{1, eye.x, eye.y, static_cast<float>(width)};
                }
                for (size_t j = makeTo; j < passPoints; ++j)
                    rng::rand();
            }
        }

        if (facing > 0.0f) {
            for (uint64_t e = 0; e <= np; e += edgeStep) {
                ++edgeCounter;
                Vec3 a = corners[e % np];
                Vec3 b = corners[(e + 1) % np];
                if (deform && !deformUsesIndex) {
                    a = pts[e % np];
                    b = pts[(e + 1) % np];
                } else if (deform) {
                    a = deform(a, time, edgeCounter);
                    b = deform(b, time, edgeCounter);
                }
                double len = static_cast<double>(distance(a, b)) * 10.0 * density;
                if (!(len >= 2.0))
                    len = 2.0;  // also for lengths that are not numbers
                if (len > 80.0)
                    len = 80.0;
                const int steps = static_cast<int>(len);
                const size_t base = produced;
                produced += static_cast<size_t>(steps);
                size_t makeFrom, makeTo;
                wanted(base, static_cast<size_t>(steps), makeFrom, makeTo);
                if (makeFrom == makeTo)
                    continue;
                const double pulse = std::sin(edgeCounter * 0.4 - time * 3.0);
                const float width = static_cast<float>(pulse > 0.9 ? outlineWidth * 1.5 : outlineWidth);
                const size_t at = path.points.size();
                path.points.resize(at + (makeTo - makeFrom));
                Vec3* out = path.points.data() + at;
                for (int i = static_cast<int>(makeFrom); i < static_cast<int>(makeTo); ++i) {
                    Vec3 q = lerpPoint(a, b, static_cast<float>(static_cast<double>(i) / (steps - 1)));
                    Vec3 eye = toEye(M, q);
                    out[i - static_cast<int>(makeFrom)] = Vec3{1, eye.x, eye.y, width};
                }
            }
        }
    }

    path.count = static_cast<int32_t>(path.points.size());
    if (window)
        window->before += static_cast<int64_t>(produced);
    strokes.push_back(std::move(path));
    for (PathSpline& stroke : strokes)
        stroke.closed = false;
    return static_cast<int>(strokes.size());
}
