// PolyMesh: quads of tubes swept along the control points of a path (beads with a
// thick head, thin rings). No GL.
#include "scene/poly_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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
