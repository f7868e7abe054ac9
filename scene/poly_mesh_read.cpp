// PolyMesh: the token-by-token OBJ polygon reader, tube builders and the pencil
// stroke generator. No GL here: the modelview matrix comes in as an argument.
#include "scene/poly_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/file_bytes.h"
#include "base/random.h"
#include "formats/float_text.h"
#include "formats/obj_mesh.h"

// ---------------------------------------------------------------------------
// Formatted extraction over a text buffer. It behaves like a C++ input stream in
// the "C" locale: every extraction skips blanks first, a failed extraction leaves
// the stream failed for good, and "ended" means an extraction ran into the end.
// ---------------------------------------------------------------------------
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class TokenReader {
public:
    TokenReader(const char* data, size_t size) : p_(data), end_(data + size) {}

    bool failed() const { return failed_; }
    bool ended() const { return ended_; }

    bool token(std::string_view& out)
    {
        if (!skipBlanks())
            return false;
        const char* start = p_;
        while (p_ < end_ && !isBlank(*p_))
            ++p_;
        if (p_ == end_)
            ended_ = true;
        out = std::string_view(start, static_cast<size_t>(p_ - start));
        return true;
    }

    bool readChar(char& c)
    {
        if (!skipBlanks())
            return false;
        c = *p_++;
        return true;
    }

    // Next non-blank character without taking it; false when the input has ended.
    bool peekChar(char& c)
    {
        if (!skipBlanks())
            return false;
        c = *p_;
        return true;
    }

    bool readInt(int& value)
    {
        if (!skipBlanks())
            return false;
        const char* q = p_;
        bool negative = false;
        if (*q == '+' || *q == '-')
            negative = *q++ == '-';
        const char* digits = q;
        int64_t v = 0;
        bool overflow = false;
        while (q < end_ && isDigit(*q)) {
            v = v * 10 + (*q - '0');
            if (v > int64_t(INT32_MAX) + 1)
                overflow = true, v = int64_t(INT32_MAX) + 1;
            ++q;
        }
        p_ = q;
        if (q == end_)
            ended_ = true;
        if (q == digits)
            return fail();
        if (negative)
            v = -v;
        if (overflow || v > INT32_MAX || v < INT32_MIN)
            return fail();
        value = static_cast<int>(v);
        return true;
    }

    // Sign, digits, one point, digits, then an exponent with optional sign; the
    // collected characters must form a whole number, as a stream demands.
    bool readFloat(float& value)
    {
        if (!skipBlanks())
            return false;
        const char* start = p_;
        const char* q = p_;
        if (*q == '+' || *q == '-')
            ++q;
        while (q < end_ && isDigit(*q))
            ++q;
        if (q < end_ && *q == '.')
            for (++q; q < end_ && isDigit(*q); ++q) {
            }
        if (q < end_ && (*q == 'e' || *q == 'E')) {
            ++q;
            if (q < end_ && (*q == '+' || *q == '-'))
                ++q;
            while (q < end_ && isDigit(*q))
                ++q;
        }
        p_ = q;
        if (q == end_)
            ended_ = true;
        const char* numberStart = (*start == '+') ? start + 1 : start;
        if (q == numberStart)
            return fail();
        // Underflow is a usable (tiny) value; overflow fails like a stream does (the
        // scan above takes no "inf", so an infinity can only be an overflow).
        float v = 0.0f;
        if (readFloatText(numberStart, q, v) != q || std::isinf(v))
            return fail();
        value = v;
        return true;
    }

private:
    bool skipBlanks()
    {
        if (failed_)
            return false;
        while (p_ < end_ && isBlank(*p_))
            ++p_;
        if (p_ == end_) {
            ended_ = true;
            return fail();
        }
        return true;
    }

    bool fail()
    {
        failed_ = true;
        return false;
    }

    const char* p_;
    const char* end_;
    bool failed_ = false;
    bool ended_ = false;
};

// Faces naming a vertex that does not exist are dropped, not read out of bounds.
size_t addFace(std::vector<Polygon>& polygons, const std::vector<Vec3>& vertices, const std::vector<int>& indices)
{
    for (int index : indices)
        if (index < 1 || static_cast<size_t>(index) > vertices.size())
            return 1;
    Polygon polygon;
    polygon.points.reserve(indices.size());
    for (int index : indices)
        polygon.points.push_back(vertices[static_cast<size_t>(index) - 1]);
    polygons.push_back(std::move(polygon));
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Loading and editing
// ---------------------------------------------------------------------------

size_t PolyMesh::loadPolygonsFromMemory(const char* data, size_t size)
{
    size_t dropped = 0;
    TokenReader in(data, size);
    polygons.clear();

    std::string_view tok;
    while (in.token(tok) && tok != "v") {
    }

    std::vector<Vec3> vertices;
    bool tokenIsFace = false;
    for (;;) {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        if (in.readFloat(x) && in.readFloat(y))
            in.readFloat(z);
        vertices.push_back(Vec3{1, x, y, z});
        if (!in.token(tok))
            break;
        if (tok != "v" || in.ended()) {
            // The token that ends the vertex run may itself open the first face.
            tokenIsFace = tok == "f";
            break;
        }
    }
    if (!tokenIsFace)
        while (in.token(tok) && tok != "f") {
        }

    std::vector<int> indices;
    for (;;) {
        int index = 0;
        char separator;
        if (!(in.readInt(index) && in.readChar(separator) && in.readChar(separator))) {
            return dropped + addFace(polygons, vertices, indices);
        }
        indices.push_back(index);
        char next;
        if (!in.peekChar(next)) {
            return dropped + addFace(polygons, vertices, indices);
        }
        if (next == 'f') {
            dropped += addFace(polygons, vertices, indices);
            indices.clear();
            in.readChar(next);
        }
    }
}

void PolyMesh::loadPolygons(const char* path)
{
    std::string text, why;
    if (!readFileBytes(path, text, why)) {
        std::fprintf(stderr, "%s %s; the mesh is left out\n", path, why.c_str());
        return;
    }
    const size_t dropped = loadPolygonsFromMemory(text.data(), text.size());
    // A file without faces still leaves one empty polygon behind.
    const bool noFaces =
        std::none_of(polygons.begin(), polygons.end(), [](const Polygon& p) { return !p.points.empty(); });
    if (noFaces)
        std::fprintf(stderr, "%s holds no faces%s; the mesh is empty\n", path, text.empty() ? " (0 bytes)" : "");
    if (!text.empty() && text.back() != '\n')
        std::fprintf(stderr, "%s ends inside a line: it may be cut short\n", path);
    if (dropped > 0)
        std::fprintf(stderr, "%s: %zu faces name vertices the file does not have; they are left out\n", path,
                     dropped);
    if (const size_t malformed = malformedObjLines(text.data(), text.size()))
        std::fprintf(stderr, "%s: %zu lines are not OBJ as written: the data is corrupt there\n", path, malformed);
}

void PolyMesh::reversePolygons() { std::reverse(polygons.begin(), polygons.end()); }

void PolyMesh::addPolygon(const Polygon& polygon) { polygons.push_back(polygon); }

// ---------------------------------------------------------------------------
// Tubes
// ---------------------------------------------------------------------------
namespace {

// Cross-section axes u, v for a piece running from `from` to `to`.
void sectionFrame(const Vec3& from, const Vec3& to, Vec3& u, Vec3& v)
{
    Vec3 s = sub(to, from);
    normalize(s);
    u = cross(Vec3{1, 0.0f, 0.0f, 1.0f}, s);
    v = cross(u, s);
    normalize(v);
    u = cross(v, s);
    normalize(u);
}

Vec3 ringPoint(const Vec3& centre, const Vec3& u, const Vec3& v, double ru, double rv, double angle)
{
    return add(add(centre, scale(u, static_cast<float>(ru * std::sin(angle)))),
               scale(v, static_cast<float>(rv * std::cos(angle))));
}

struct TubePiece {
    float reach;    // fraction of the segment that the piece covers
    double ru, rv;  // radii along u and v
};

template <typename PieceFor>
void buildTube(std::vector<Polygon>& polygons, const PathSpline& path, int sides, PieceFor pieceFor)
{
    polygons.clear();
    const int64_t count = std::min<int64_t>(path.count, static_cast<int64_t>(path.points.size()));
    const std::vector<Vec3>& P = path.points;
    for (int64_t i = 0; i + 2 < count; ++i) {
        const Vec3& p = P[i];
        const Vec3& q = P[i + 1];
        const Vec3& r = P[i + 2];
        Vec3 u, v, u2, v2;
        sectionFrame(p, q, u, v);
        sectionFrame(q, r, u2, v2);
        TubePiece piece = pieceFor(i, path.count);
        Vec3 end = add(p, scale(sub(q, p), piece.reach));
        for (int j = 0; j < sides; ++j) {
            double alpha = static_cast<double>(j) / sides * 2.0 * M_PI;
            double beta = static_cast<double>(j + 1) / sides * 2.0 * M_PI;
            Polygon quad;
            quad.points = {ringPoint(p, u, v, piece.ru, piece.rv, alpha),
                           ringPoint(end, u2, v2, piece.ru, piece.rv, alpha),
                           ringPoint(end, u2, v2, piece.ru, piece.rv, beta),
                           ringPoint(p, u, v, piece.ru, piece.rv, beta)};
            polygons.push_back(std::move(quad));
        }
    }
}

} // namespace

void PolyMesh::buildBeadedTube(const PathSpline& path, int sides)
{
    buildTube(polygons, path, sides, [](int64_t i, int32_t) {
        double head = 1.0 - static_cast<double>(std::min<int64_t>(i, 5)) / 5.0;
        double ra = (i % 2 == 1 ? 0.10 : 0.12) + 0.3 * head;
        double rb = 0.3 * head + 0.02;
        return TubePiece{0.7f, rb, ra};
    });
}

void PolyMesh::buildRingedTube(const PathSpline& path, int sides)
{
    buildTube(polygons, path, sides, [](int64_t i, int32_t count) {
        double thin = 1.0 - static_cast<double>(i) / count;
        double radius = 0.1 * 1.8 * (thin * thin);
        if (i < 32)
            radius *= 0.2;
        if (i % 4 == 0)
            radius *= 0.3;
        return TubePiece{0.9f, radius, radius};
    });
}

// ---------------------------------------------------------------------------
// Pencil strokes
// ---------------------------------------------------------------------------
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
