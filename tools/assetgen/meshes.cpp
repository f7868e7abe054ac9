// The show's meshes. Sizes and origins follow where the scene places each mesh:
// the comments give the placement they were sized for.
#include "tools/assetgen/meshes.h"

#include "tools/assetgen/glyphs.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDeg = M_PI / 180.0;

// ---------------------------------------------------------------- explicit builders

// Surface of revolution about y; profile runs bottom to top as (radius, y).
// A radius of 0 closes the end with triangles.
void addLathe(Mesh& m, const std::vector<std::pair<double, double>>& profile, int sides, V3 at)
{
    const int base = static_cast<int>(m.verts.size());
    const int rows = static_cast<int>(profile.size());
    std::vector<int> rowStart(rows);
    for (int r = 0; r < rows; ++r) {
        rowStart[r] = static_cast<int>(m.verts.size()) - base;
        auto [rad, y] = profile[r];
        if (rad <= 0) {
            m.verts.push_back(at + v3(0, y, 0));
            continue;
        }
        for (int s = 0; s < sides; ++s) {
            double a = 2 * M_PI * s / sides;
            m.verts.push_back(at + v3(rad * std::sin(a), y, rad * std::cos(a)));
        }
    }
    auto id = [&](int r, int s) { return base + rowStart[r] + (profile[r].first <= 0 ? 0 : (s % sides)); };
    for (int r = 0; r + 1 < rows; ++r) {
        const bool pole0 = profile[r].first <= 0, pole1 = profile[r + 1].first <= 0;
        for (int s = 0; s < sides; ++s) {
            // Going up the profile and round with increasing angle: (s, r) (s+1, r)
            // (s+1, r+1) (s, r+1) runs counter-clockwise seen from outside.
            if (pole0)
                m.faces.push_back({id(r, 0), id(r + 1, s + 1), id(r + 1, s)});
            else if (pole1)
                m.faces.push_back({id(r, s), id(r, s + 1), id(r + 1, 0)});
            else
                m.faces.push_back({id(r, s), id(r, s + 1), id(r + 1, s + 1), id(r + 1, s)});
        }
    }
}

// A tube along a path with a radius per path point, parallel-transported frames;
// ends closed by fans to the end points when `capped`.
void addTube(Mesh& m, const std::vector<V3>& path, const std::vector<double>& radius, int sides, bool capped)
{
    const int n = static_cast<int>(path.size());
    if (n < 2)
        return;
    std::vector<V3> tan(n);
    for (int i = 0; i < n; ++i)
        tan[i] = unit3(path[std::min(i + 1, n - 1)] - path[std::max(i - 1, 0)]);
    V3 ref = std::fabs(tan[0].y) < 0.9 ? v3(0, 1, 0) : v3(1, 0, 0);
    V3 u = unit3(cross3(ref, tan[0]));
    const int base = static_cast<int>(m.verts.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            u = unit3(u - tan[i] * dot3(u, tan[i]));
        }
        V3 w = cross3(tan[i], u);
        for (int s = 0; s < sides; ++s) {
            double a = 2 * M_PI * s / sides;
            m.verts.push_back(path[i] + (u * std::cos(a) + w * std::sin(a)) * radius[i]);
        }
    }
    auto id = [&](int i, int s) { return base + i * sides + (s % sides); };
    // Round first, then along: with w = tangent x u this faces away from the axis.
    for (int i = 0; i + 1 < n; ++i)
        for (int s = 0; s < sides; ++s)
            m.faces.push_back({id(i, s), id(i, s + 1), id(i + 1, s + 1), id(i + 1, s)});
    if (capped) {
        int a0 = static_cast<int>(m.verts.size());
        m.verts.push_back(path[0] - tan[0] * (radius[0] * 0.6));
        int a1 = static_cast<int>(m.verts.size());
        m.verts.push_back(path[n - 1] + tan[n - 1] * (radius[n - 1] * 0.6));
        for (int s = 0; s < sides; ++s) {
            m.faces.push_back({a0, id(0, s + 1), id(0, s)});
            m.faces.push_back({a1, id(n - 1, s), id(n - 1, s + 1)});
        }
    }
}

// Checks the tube winding against its own centre line and flips faces that point
// inwards; cheaper than reasoning about frame handedness at every call.
void fixOutward(Mesh& m, const std::function<V3(V3)>& insidePointFor)
{
    for (size_t f = 0; f < m.faces.size(); ++f) {
        auto& face = m.faces[f];
        V3 c = faceCentre(m, static_cast<int>(f));
        V3 p0 = m.verts[face[0]], p1 = m.verts[face[1]];
        V3 n = cross3(c - p0, c - p1);
        if (dot3(n, c - insidePointFor(c)) < 0)
            std::reverse(face.begin(), face.end());
    }
}

// A bone: thin shaft, knobbly ends.
void addBone(Mesh& m, V3 a, V3 b, double r, int sides)
{
    std::vector<V3> path;
    std::vector<double> rad;
    const double prof[] = {0.75, 1.0, 0.75, 0.58, 0.52, 0.58, 0.75, 1.0, 0.75};
    const int k = 9;
    for (int i = 0; i < k; ++i) {
        double t = i / double(k - 1);
        path.push_back(a + (b - a) * t);
        rad.push_back(r * prof[i]);
    }
    addTube(m, path, rad, sides, true);
}

// Convex polyhedron from its vertices and face normals: each face takes the
// vertices that lie furthest along its normal, ordered counter-clockwise.
Mesh convexPolyhedron(const std::vector<V3>& verts, const std::vector<V3>& normals)
{
    Mesh m;
    m.verts = verts;
    for (V3 n : normals) {
        n = unit3(n);
        double best = -1e9;
        for (V3 v : verts)
            best = std::max(best, dot3(v, n));
        std::vector<int> face;
        for (int i = 0; i < static_cast<int>(verts.size()); ++i)
            if (dot3(verts[i], n) > best - 1e-6)
                face.push_back(i);
        V3 c{};
        for (int i : face)
            c = c + verts[i];
        c = c * (1.0 / face.size());
        V3 u = unit3(verts[face[0]] - c), w = cross3(n, u);
        std::sort(face.begin(), face.end(), [&](int a, int b) {
            V3 da = verts[a] - c, db = verts[b] - c;
            return std::atan2(dot3(da, w), dot3(da, u)) < std::atan2(dot3(db, w), dot3(db, u));
        });
        m.faces.push_back(face);
    }
    return m;
}

void cyclic(std::vector<V3>& out, double a, double b, double c, bool signA, bool signB, bool signC)
{
    for (int sa = 0; sa < (signA ? 2 : 1); ++sa)
        for (int sb = 0; sb < (signB ? 2 : 1); ++sb)
            for (int sc = 0; sc < (signC ? 2 : 1); ++sc) {
                double x = sa ? -a : a, y = sb ? -b : b, z = sc ? -c : c;
                out.push_back(v3(x, y, z));
                out.push_back(v3(y, z, x));
                out.push_back(v3(z, x, y));
            }
}

// ---------------------------------------------------------------- the meshes

// Two heads in three-quarter view, turned towards each other. The scene draws the
// first half of the list at the right (x = 4) and the second half at the left
// (x = 1), scale 0.4, so the heads sit off-centre by -1.6 and +1.6 and meet in
// the middle of the camera's pan target; each half is ordered crown to chin.
Mesh buildFaces()
{
    // Features are sculpted larger than life so they survive the coarse grid.
    auto head = [](V3 p) {
        double d = sdEllipsoid(p, v3(0, 0.3, -0.15), v3(0.78, 0.95, 0.95));            // cranium
        d = smin(d, sdEllipsoid(p, v3(0, -0.2, 0.25), v3(0.6, 0.85, 0.7)), 0.3);        // face
        d = smin(d, sdEllipsoid(p, v3(0, -0.75, 0.35), v3(0.38, 0.25, 0.32)), 0.25);    // jaw
        d = smin(d, sdSphere(p, v3(0, -0.88, 0.62), 0.17), 0.15);                       // chin
        d = smin(d, sdRoundCone(p, v3(0, 0.2, 0.82), v3(0, -0.22, 1.12), 0.09, 0.15), 0.1); // nose
        for (int s = -1; s <= 1; s += 2) {
            d = smin(d, sdSphere(p, v3(0.1 * s, -0.25, 1.0), 0.09), 0.05);             // nostril
            d = smin(d, sdCapsule(p, v3(0.12 * s, 0.3, 0.8), v3(0.48 * s, 0.27, 0.62), 0.1), 0.12); // brow
            d = ssub(d, sdSphere(p, v3(0.3 * s, 0.07, 0.88), 0.2), 0.07);              // eye socket
            d = std::min(d, sdEllipsoid(p, v3(0.3 * s, 0.07, 0.74), v3(0.15, 0.11, 0.12))); // eye
            d = smin(d, sdSphere(p, v3(0.42 * s, -0.12, 0.62), 0.2), 0.2);             // cheekbone
            d = smin(d, sdEllipsoid(p, v3(0.8 * s, 0.02, -0.08), v3(0.1, 0.26, 0.17)), 0.08); // ear
        }
        d = smin(d, sdEllipsoid(p, v3(0, -0.5, 0.95), v3(0.24, 0.08, 0.11)), 0.05);   // upper lip
        d = smin(d, sdEllipsoid(p, v3(0, -0.64, 0.92), v3(0.2, 0.08, 0.1)), 0.05);    // lower lip
        d = ssub(d, sdCapsule(p, v3(-0.2, -0.57, 1.04), v3(0.2, -0.57, 1.04), 0.03), 0.02);
        // Hair: a cap over the crown and back with a hairline, and a bun.
        double hair = sdEllipsoid(p, v3(0, 0.42, -0.2), v3(0.84, 0.95, 0.99));
        hair = std::max(hair, std::max(0.12 - p.y + 0.3 * std::max(p.z, 0.0), p.z - 0.6));
        d = smin(d, hair, 0.05);
        d = smin(d, sdSphere(p, v3(0, 0.72, -0.95), 0.4), 0.12);
        d = smin(d, sdCapsule(p, v3(0, -0.6, -0.15), v3(0, -1.9, -0.25), 0.38), 0.2);  // neck
        return std::max(d, -(p.y + 1.75));
    };
    Mesh a = polygonise(head, v3(-1.0, -1.8, -1.45), v3(1.0, 1.35, 1.3), 1300);
    transform(a, [](V3 p) { return rotY(p, -45 * kDeg) + v3(-1.6, 1.2, 0); });
    orderFaces(a, v3(0, 1, 0), v3(1, 0, 0), 30, true);
    Mesh b = a;
    mirrorX(b);
    orderFaces(b, v3(0, 1, 0), v3(1, 0, 0), 30, true);
    Mesh both = a;
    both.append(b);
    return both;
}

// Extruded handwriting, left to right, centred on the origin.
// Long strokes are cut into pieces of at most maxPieceEm, since each front quad
// carries its own hatching: the piece length sets how much pencil the text gets.
Mesh buildText(const std::string& text, double width, double slant, V3 centre, double depthEm, double strokeEm,
               double maxPieceEm)
{
    double advance = 0;
    auto lines = letterStrokes(text, slant, &advance);
    const double em = width / advance;
    Mesh m;
    for (auto& line : lines) {
        std::vector<V3> fine;
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            int pieces = std::max(1, static_cast<int>(std::ceil(len3(line[i + 1] - line[i]) / maxPieceEm)));
            for (int k = 0; k < pieces; ++k)
                fine.push_back(line[i] + (line[i + 1] - line[i]) * (k / double(pieces)));
        }
        fine.push_back(line.back());
        for (V3& p : fine)
            p = v3((p.x - advance / 2) * em + centre.x, (p.y - 0.5) * em + centre.y, 0);
        addRibbon(m, fine, strokeEm * em, depthEm * em);
    }
    transform(m, [&](V3 p) { return v3(p.x, p.y, p.z + centre.z); });
    orderFaces(m, v3(1, 0, 0), v3(0, 1, 0), 90, false);
    return m;
}

// Title: rotated 5 to 13 degrees about y and scaled 0.16 under the stroke camera;
// 16 units wide fills most of the screen at the opening's camera distance. The
// scene lifts 30 bands of the polygon list away one after another, except bands
// 0-2, 4, 8, ..., 24 and 27-29. The letters come first, left to right; a swash
// underline closes the list so it lands in the last bands, which stay: its few
// polygons carry many points each, so the pencil is busy drawing it, in place,
// while the letters float off.
Mesh buildTitle()
{
    Mesh m = buildText("Zoduv Aziridiru", 16.0, 0.14, v3(0, 0, 0), 0.28, 0.12, 10.0);
    const int pieces = 18, perSide = 7;
    const double x0 = -7.6, x1 = 7.9, z = 0.23;
    auto centre = [&](double s) {
        double x = x0 + (x1 - x0) * s;
        return v3(x, -1.22 + 0.2 * std::sin(s * 2 * M_PI * 0.8 + 0.6) - 0.15 * s, z);
    };
    auto half = [](double s) { return 0.03 + 0.13 * std::pow(std::sin(M_PI * s), 0.8); };
    const size_t first = m.faces.size();
    for (int p = 0; p < pieces; ++p) {
        std::vector<int> face;
        // Lower edge left to right, then upper edge right to left: counter-clockwise
        // seen from the front.
        for (int k = 0; k < perSide; ++k) {
            double s = (p + k / double(perSide - 1)) / pieces;
            face.push_back(static_cast<int>(m.verts.size()));
            m.verts.push_back(centre(s) - v3(0, half(s), 0));
        }
        for (int k = perSide - 1; k >= 0; --k) {
            double s = (p + k / double(perSide - 1)) / pieces;
            face.push_back(static_cast<int>(m.verts.size()));
            m.verts.push_back(centre(s) + v3(0, half(s), 0));
        }
        m.faces.push_back(face);
    }
    // The underline must stay within the last tenth of the list.
    if ((m.faces.size() - first) * 10 > m.faces.size())
        m.faces.clear();
    return m;
}

// End text: scale 0.11 then moved by (-5, -1); the closing camera looks at about
// (-4.2, -0.5) of these coordinates.
Mesh buildEnd() { return buildText("the end", 17.0, 0.14, v3(-4.2, -0.4, 0), 0.3, 0.13, 0.24); }

// Still-life vase standing on y = 0, 4.6 tall; the layer camera scales it by 0.15.
Mesh buildVase()
{
    Mesh m;
    addLathe(m,
             {{0.0, 0.0}, {0.85, 0.0}, {0.9, 0.14}, {0.6, 0.35}, {0.95, 0.8}, {1.32, 1.5}, {1.38, 2.0},
              {1.2, 2.6}, {0.8, 3.2}, {0.5, 3.7}, {0.48, 4.0}, {0.62, 4.4}, {0.72, 4.6}, {0.5, 4.55},
              {0.0, 4.3}},
             17, v3(0, 0, 0));
    orderFaces(m, v3(0, 1, 0), v3(1, 0, 0), 1, true); // keep the ring order, top first
    std::reverse(m.faces.begin(), m.faces.end());
    return m;
}

// A jug with a handle and a spout, 3.6 tall, standing on y = 0.
Mesh buildJug()
{
    Mesh m;
    addLathe(m,
             {{0.0, 0.0}, {0.95, 0.0}, {1.05, 0.2}, {1.15, 0.8}, {1.1, 1.6}, {0.9, 2.4}, {0.7, 2.9},
              {0.78, 3.4}, {0.88, 3.6}, {0.7, 3.55}, {0.0, 3.3}},
             12, v3(0, 0, 0));
    std::vector<V3> handle;
    std::vector<double> rad;
    for (int i = 0; i <= 8; ++i) {
        double a = (-70 + 160.0 * i / 8) * kDeg;
        handle.push_back(v3(0.95 + 0.75 * std::cos(a), 1.9 + 0.95 * std::sin(a), 0));
        rad.push_back(0.13);
    }
    addTube(m, handle, rad, 5, true);
    std::vector<V3> spout = {v3(-0.6, 2.9, 0), v3(-0.95, 3.2, 0), v3(-1.25, 3.55, 0)};
    addTube(m, spout, {0.25, 0.18, 0.12}, 6, true);
    return m;
}

// A rhombicosidodecahedron (triangles, squares and pentagons) of circumradius
// 1.25: the scene rolls it 40 degrees per unit moved.
Mesh buildSolid()
{
    const double phi = (1 + std::sqrt(5.0)) / 2;
    std::vector<V3> v;
    cyclic(v, 1, 1, phi * phi * phi, true, true, true);
    cyclic(v, phi * phi, phi, 2 * phi, true, true, true);
    cyclic(v, 2 + phi, 0, phi * phi, true, false, true);
    std::vector<V3> n;
    cyclic(n, 1, 1, 1, true, true, true);                      // triangles
    cyclic(n, 0, 1 / phi, phi, false, true, true);
    cyclic(n, 0, 0, 1, false, false, true);                    // squares
    cyclic(n, 0.5, phi / 2, phi * phi / 2, true, true, true);
    cyclic(n, 0, phi, 1, false, true, true);                   // pentagons
    std::vector<V3> unique;
    for (V3 a : n) {
        bool seen = false;
        for (V3 b : unique)
            seen = seen || len3(unit3(a) - unit3(b)) < 1e-6;
        if (!seen)
            unique.push_back(a);
    }
    const double scale = 1.25 / len3(v[0]);
    for (V3& p : v)
        p = p * scale;
    Mesh m = convexPolyhedron(v, unique);
    orderFacesAround(m, v3(0, 0, 1), v3(0, 0, 0), 5, true);
    return m;
}

// A cradle that holds the rolling solid: a ring at y = 0 (the solid's centre sits
// 0.5 below it) on three curved legs. The scene reverses the list after loading,
// so the list is written feet first and drawn ring first.
Mesh buildHolder()
{
    Mesh m;
    std::vector<V3> ring;
    std::vector<double> rr;
    for (int i = 0; i <= 18; ++i) {
        double a = 2 * M_PI * i / 18;
        ring.push_back(v3(1.15 * std::cos(a), 0, 1.15 * std::sin(a)));
        rr.push_back(0.09);
    }
    ring.back() = ring.front();
    for (int leg = 0; leg < 3; ++leg) {
        double a = (90 + 120 * leg) * kDeg;
        V3 out = v3(std::cos(a), 0, std::sin(a));
        std::vector<V3> path;
        std::vector<double> rad;
        for (int i = 0; i <= 6; ++i) {
            double t = i / 6.0;
            double r = 1.15 + 0.35 * std::sin(t * M_PI * 0.8);
            path.push_back(out * r + v3(0, -2.4 * t, 0));
            rad.push_back(0.08 + 0.03 * t);
        }
        addTube(m, path, rad, 5, true);
        addLathe(m, {{0.0, -2.5}, {0.28, -2.5}, {0.3, -2.4}, {0.0, -2.32}}, 8, v3(path.back().x, 0, path.back().z));
    }
    Mesh r;
    addTube(r, ring, rr, 5, false);
    fixOutward(r, [](V3 p) {
        V3 q = v3(p.x, 0, p.z);
        return unit3(q) * 1.15;
    });
    m.append(r);
    return m;
}

// A cougar standing on y = 0, nose to +z, 19 units long: the still life turns it
// 90 degrees about y and scales it by 0.35 x 0.15, so it is seen side on.
Mesh buildCougar()
{
    auto f = [](V3 p) {
        double d = sdEllipsoid(p, v3(0, 6.2, 0.5), v3(1.6, 1.7, 4.6));                   // body
        d = smin(d, sdEllipsoid(p, v3(0, 6.5, 3.4), v3(1.8, 2.0, 2.2)), 1.0);           // chest
        d = smin(d, sdEllipsoid(p, v3(0, 6.3, -3.0), v3(1.7, 1.9, 1.9)), 1.0);          // haunch
        d = smin(d, sdRoundCone(p, v3(0, 7.2, 4.8), v3(0, 8.3, 6.4), 1.2, 0.9), 0.6);  // neck
        d = smin(d, sdEllipsoid(p, v3(0, 8.6, 7.2), v3(1.05, 1.0, 1.25)), 0.4);         // head
        d = smin(d, sdEllipsoid(p, v3(0, 8.2, 8.3), v3(0.6, 0.55, 0.7)), 0.3);          // muzzle
        for (int s = -1; s <= 1; s += 2) {
            d = smin(d, sdRoundCone(p, v3(0.55 * s, 9.3, 6.9), v3(0.7 * s, 10.1, 6.6), 0.32, 0.08), 0.15); // ear
            // Forelegs and hind legs with a bend at the knee and a paw.
            V3 sh = v3(0.95 * s, 5.6, 3.6), kn = v3(0.9 * s, 2.8, 3.9), pw = v3(0.9 * s, 0.4, 4.0);
            d = smin(d, sdRoundCone(p, sh, kn, 0.9, 0.6), 0.5);
            d = smin(d, sdRoundCone(p, kn, pw, 0.6, 0.55), 0.2);
            d = smin(d, sdEllipsoid(p, pw + v3(0, -0.1, 0.35), v3(0.6, 0.45, 0.8)), 0.2);
            V3 hip = v3(1.0 * s, 6.0, -3.3), hk = v3(1.0 * s, 3.6, -4.6), hh = v3(0.9 * s, 1.5, -3.6),
               hp = v3(0.9 * s, 0.4, -3.4);
            d = smin(d, sdRoundCone(p, hip, hk, 1.2, 0.65), 0.6);
            d = smin(d, sdRoundCone(p, hk, hh, 0.65, 0.55), 0.2);
            d = smin(d, sdRoundCone(p, hh, hp, 0.55, 0.55), 0.2);
            d = smin(d, sdEllipsoid(p, hp + v3(0, -0.1, 0.35), v3(0.6, 0.45, 0.8)), 0.2);
        }
        // Tail: a long curve that droops and lifts at the tip.
        V3 prev = v3(0, 6.8, -4.4);
        for (int i = 1; i <= 6; ++i) {
            double t = i / 6.0;
            V3 q = v3(0, 6.8 - 4.0 * std::sin(t * 2.2) + 1.0 * t, -4.4 - 5.0 * t);
            d = smin(d, sdCapsule(p, prev, q, 0.55 - 0.12 * t), 0.2);
            prev = q;
        }
        return d;
    };
    Mesh m = polygonise(f, v3(-2.2, -0.3, -10.2), v3(2.2, 10.4, 9.3), 520);
    orderFaces(m, v3(0, 0, 1), v3(0, 1, 0), 16, true);
    return m;
}

// A standing woman, 6.4 units tall with her waist at the origin and facing +z; the
// scene scales her by 0.2 and turns her 80 degrees into profile. Drawn as
// outline only, so the list runs in rings from head to feet.
Mesh buildWoman()
{
    auto f = [](V3 p) {
        double d = sdEllipsoid(p, v3(0, 3.35, 0.05), v3(0.42, 0.55, 0.5));               // head
        d = smin(d, sdSphere(p, v3(0, 3.5, -0.45), 0.33), 0.15);                          // bun
        d = smin(d, sdCapsule(p, v3(0, 2.9, 0), v3(0, 2.5, 0), 0.18), 0.15);             // neck
        d = smin(d, sdEllipsoid(p, v3(0, 1.7, 0), v3(0.75, 0.9, 0.42)), 0.3);            // chest
        d = smin(d, sdEllipsoid(p, v3(0, 0.4, 0), v3(0.5, 0.6, 0.32)), 0.35);            // waist
        for (int s = -1; s <= 1; s += 2) {
            d = smin(d, sdSphere(p, v3(0.28 * s, 1.65, 0.3), 0.26), 0.15);               // bust
            V3 sh = v3(0.72 * s, 2.35, 0), el = v3(0.9 * s, 0.9, 0.05), wr = v3(0.75 * s, -0.3, 0.35);
            if (s > 0)
                wr = v3(0.45, 0.15, 0.75); // one hand raised to the waist
            d = smin(d, sdRoundCone(p, sh, el, 0.2, 0.14), 0.12);
            d = smin(d, sdRoundCone(p, el, wr, 0.14, 0.1), 0.08);
            d = smin(d, sdEllipsoid(p, wr + v3(0, -0.2, 0.02), v3(0.1, 0.2, 0.07)), 0.06);
            d = smin(d, sdCapsule(p, v3(0.17 * s, -3.3, 0.05), v3(0.17 * s, -3.85, 0.05), 0.1), 0.05); // ankle
            d = smin(d, sdEllipsoid(p, v3(0.18 * s, -3.9, 0.2), v3(0.12, 0.09, 0.3)), 0.06); // foot
        }
        // Long skirt: a flared cone from the waist to above the ankles.
        double r = std::sqrt(p.x * p.x + p.z * p.z);
        double t = std::clamp((0.3 - p.y) / 3.6, 0.0, 1.0);
        double skirt = std::max((r - (0.42 + 0.75 * t * t + 0.2 * t)) * 0.9, std::max(p.y - 0.3, -3.35 - p.y));
        d = smin(d, skirt, 0.2);
        return d;
    };
    Mesh m = polygonise(f, v3(-1.6, -4.1, -1.4), v3(1.6, 4.0, 1.5), 4800);
    // Modelled 8 tall, shown 6.4 tall: while she is drawn the camera comes in to
    // a distance of about 3.5, where 1.3 units of stroke space fill the height.
    transform(m, [](V3 p) { return p * 0.8; });
    orderFacesAround(m, v3(0, 1, 0), v3(0, 0, 0), 40, true);
    return m;
}

// A bird in flight, head to +z, wings spread along x (the scene's wave deform lifts
// points by their distance from x = 0, so the wings beat); 10 units across,
// scaled 0.17. It is the last large drawing before the end text and the reveal
// races along it, so it is the most finely divided mesh.
Mesh buildBird()
{
    const double k = 1.2;
    auto f = [k](V3 q) {
        V3 p = q * (1.0 / k);
        double d = sdEllipsoid(p, v3(0, 0, 0), v3(0.55, 0.55, 1.6));                      // body
        d = smin(d, sdSphere(p, v3(0, 0.3, 1.55), 0.42), 0.3);                            // head
        d = smin(d, sdRoundCone(p, v3(0, 0.25, 1.9), v3(0, 0.15, 2.55), 0.13, 0.03), 0.05); // beak
        for (int s = -1; s <= 1; s += 2)
            d = std::min(d, sdSphere(p, v3(0.3 * s, 0.42, 1.75), 0.08));                  // eye
        // Tail fan with a forked end.
        double tail = std::max(sdEllipsoid(p, v3(0, 0.05, -2.0), v3(0.8, 0.1, 1.0)), p.z + 1.3);
        tail = ssub(tail, sdSphere(p, v3(0, 0.05, -3.25), 0.5), 0.1);
        d = smin(d, tail, 0.25);
        // Wings: swept back, tapering, with a scalloped trailing edge of feathers.
        double ax = std::fabs(p.x);
        double span = std::clamp((ax - 0.3) / 3.8, 0.0, 1.0);
        double chord = 1.1 * (1 - span * span) + 0.3 + 0.12 * std::fabs(std::sin(ax * 4.5));
        double lead = 0.55 - 0.9 * span * span;
        double dz = std::max(p.z - lead, (lead - chord) - p.z);
        double thick = 0.1 * (1 - span) + 0.07;
        double dy = std::fabs(p.y - 0.15 * span) - thick;
        double wing = std::max(std::max(dz, dy), ax - 4.1);
        d = smin(d, wing, 0.25);
        return d * k;
    };
    Mesh m = polygonise(f, v3(-4.3 * k, -0.8 * k, -3.3 * k), v3(4.3 * k, 1.0 * k, 2.8 * k), 5000);
    orderFaces(m, v3(1, 0, 0), v3(0, 0, 1), 60, false);
    return m;
}

Mesh buildTorus()
{
    Mesh m;
    const int U = 24, W = 10;
    const double R = 2.0, r = 0.7;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < W; ++j) {
            double a = 2 * M_PI * i / U, b = 2 * M_PI * j / W;
            m.verts.push_back(v3((R + r * std::cos(b)) * std::cos(a), r * std::sin(b), (R + r * std::cos(b)) * std::sin(a)));
        }
    auto id = [&](int i, int j) { return (i % U) * W + (j % W); };
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < W; ++j)
            m.faces.push_back({id(i, j), id(i, j + 1), id(i + 1, j + 1), id(i + 1, j)});
    fixOutward(m, [&](V3 p) { return unit3(v3(p.x, 0, p.z)) * R; });
    return m;
}

// A skeleton hand: wrist at the origin, fingers along +y to about 6.5 units, palm
// facing +z. The scene turns it upside down (fingers hanging) and scales it 0.22;
// the list runs forearm, wrist, then each finger from knuckle to tip.
Mesh buildSkeletonHand()
{
    Mesh m;
    const int sides = 8;
    // Forearm stubs and wrist bones.
    addBone(m, v3(-0.45, -2.2, 0), v3(-0.4, -0.15, 0), 0.26, sides);
    addBone(m, v3(0.5, -2.2, -0.05), v3(0.45, -0.15, -0.05), 0.22, sides);
    for (int i = 0; i < 8; ++i) {
        double x = -0.75 + 0.5 * (i % 4) + 0.1 * (i / 4);
        double y = 0.25 + 0.45 * (i / 4);
        addBone(m, v3(x - 0.12, y, 0.0), v3(x + 0.12, y + 0.05, 0.02), 0.2, sides);
    }
    // Fingers: metacarpal, then phalanges, slightly curled towards +z.
    struct Finger {
        double x, len;
        int bones;
    };
    const Finger fingers[] = {{-0.95, 0.85, 3}, {-0.33, 1.05, 3}, {0.28, 1.0, 3}, {0.85, 0.8, 3}};
    for (const Finger& f : fingers) {
        V3 base = v3(f.x * 0.6, 1.25, 0);
        V3 knuckle = v3(f.x, 3.3, 0.05);
        addBone(m, base, knuckle, 0.17, sides);
        V3 at = knuckle;
        double ang = 0;
        double seg = f.len;
        for (int b = 0; b < f.bones; ++b) {
            ang += 12 * kDeg;
            V3 dir = v3(f.x * 0.06, std::cos(ang), std::sin(ang));
            V3 next = at + unit3(dir) * (seg + 0.08);
            addBone(m, at + unit3(dir) * 0.08, next, 0.15 - 0.02 * b, sides);
            at = next;
            seg *= 0.75;
        }
    }
    // Thumb: out to the side.
    V3 t0 = v3(1.05, 0.9, 0.1), t1 = v3(1.75, 2.0, 0.35), t2 = v3(2.2, 2.8, 0.55), t3 = v3(2.5, 3.4, 0.7);
    addBone(m, t0, t1, 0.17, sides);
    addBone(m, t1 + unit3(t2 - t1) * 0.08, t2, 0.15, sides);
    addBone(m, t2 + unit3(t3 - t2) * 0.08, t3, 0.13, sides);
    return m; // bone by bone, ring by ring: the 60 bands come apart as single bones
}

// The worm's head: a caterpillar's round head with big eyes, mandibles and
// antennae, about 3 units wide. Hatched densely by the scene, so it stays coarse.
Mesh buildWormHead()
{
    auto f = [](V3 p) {
        double d = sdEllipsoid(p, v3(0, 0, 0), v3(1.3, 1.2, 1.1));
        for (int s = -1; s <= 1; s += 2) {
            d = smin(d, sdSphere(p, v3(0.6 * s, 0.45, 0.85), 0.42), 0.15);                      // eye
            d = smin(d, sdRoundCone(p, v3(0.45 * s, 0.9, 0.3), v3(1.1 * s, 2.3, 0.7), 0.16, 0.08), 0.2); // antenna
            d = smin(d, sdSphere(p, v3(1.1 * s, 2.35, 0.7), 0.2), 0.05);                        // its tip
            d = smin(d, sdRoundCone(p, v3(0.35 * s, -0.7, 0.8), v3(0.1 * s, -1.05, 1.25), 0.2, 0.08), 0.1); // mandible
        }
        return d;
    };
    Mesh m = polygonise(f, v3(-1.6, -1.5, -1.4), v3(1.6, 2.8, 1.7), 72);
    orderFaces(m, v3(0, 1, 0), v3(1, 0, 0), 6, true);
    return m;
}

// Ants are modelled z up, head along +y, thorax at the origin, 3.6 units long.
// The late-walk ant is used so (the scene tilts it back 70 degrees, scales it by
// 0.2 and swings the two sides' legs in opposite directions about z); the walking
// ant of the tendrils is the same animal turned y up, head along +z.
// Thin parts (legs, antennae, mandibles) are explicit tubes: a signed-distance grid
// fine enough for them would cost far more polygons.
Mesh antBody(int target)
{
    auto f = [](V3 p) {
        double d = sdEllipsoid(p, v3(0, 0.05, 0.1), v3(0.3, 0.6, 0.3));          // thorax
        d = smin(d, sdEllipsoid(p, v3(0, 0.95, 0.2), v3(0.38, 0.4, 0.33)), 0.12); // head
        d = smin(d, sdSphere(p, v3(0, -0.7, 0.12), 0.16), 0.12);                 // petiole
        d = smin(d, sdEllipsoid(p, v3(0, -1.55, 0.3), v3(0.55, 0.8, 0.5)), 0.15); // gaster
        return d;
    };
    Mesh m = polygonise(f, v3(-0.7, -2.5, -0.5), v3(0.7, 1.5, 0.9), target);
    orderFacesAround(m, v3(0, 1, 0), v3(0, 0, 0), 24, true); // rings, head to gaster
    for (int s = -1; s <= 1; s += 2) {
        addTube(m, {v3(0.2 * s, 1.2, 0.35), v3(0.4 * s, 1.5, 0.5), v3(0.55 * s, 1.7, 0.55), v3(0.68 * s, 1.95, 0.5),
                    v3(0.75 * s, 2.15, 0.4)},
                {0.06, 0.055, 0.05, 0.05, 0.055}, 5, true); // antenna
        addTube(m, {v3(0.15 * s, 1.28, 0.12), v3(0.12 * s, 1.42, 0.1), v3(0.04 * s, 1.52, 0.1)}, {0.07, 0.06, 0.035}, 5,
                true); // mandible
    }
    return m;
}

// Legs of one side (side -1 or +1), or of one tripod (0 or 1) when side is 0.
Mesh antLegs(int side, int tripod)
{
    Mesh m;
    const double attachY[3] = {0.35, 0.05, -0.25};
    const double reachY[3] = {1.2, 0.0, -1.3};
    for (int leg = 0; leg < 3; ++leg)
        for (int s = -1; s <= 1; s += 2) {
            bool take = side != 0 ? s == side : ((leg + (s > 0 ? 1 : 0)) % 2 == tripod);
            if (!take)
                continue;
            V3 hip = v3(0.18 * s, attachY[leg], 0.0);
            V3 knee = v3(0.95 * s, attachY[leg] + (reachY[leg] - attachY[leg]) * 0.5, 0.45);
            V3 foot = v3(1.7 * s, reachY[leg], -0.35);
            std::vector<V3> path;
            std::vector<double> rad;
            for (int i = 0; i <= 8; ++i) {
                double t = i / 8.0;
                // Femur up to the knee, tibia down to the foot, joints slightly thick.
                V3 p = t < 0.5 ? hip + (knee - hip) * (t * 2) : knee + (foot - knee) * ((t - 0.5) * 2);
                path.push_back(p);
                rad.push_back((t < 0.5 ? 0.075 : 0.065 - 0.03 * (t - 0.5) * 2) + (i == 4 ? 0.015 : 0.0));
            }
            addTube(m, path, rad, 6, true);
        }
    return m;
}

// z up, head +y  ->  y up, head +z: swapping two axes mirrors, so faces turn round.
Mesh yUp(Mesh m)
{
    transform(m, [](V3 p) { return v3(p.x, p.z, p.y); });
    for (auto& f : m.faces)
        std::reverse(f.begin(), f.end());
    return m;
}

} // namespace

const std::vector<OutlineMeshInfo>& outlineMeshes()
{
    static const std::vector<OutlineMeshInfo> list = {
        {"newobjects/face.obj", "two heads turned towards each other"},
        {"newobjects/title.obj", "the title \"Zoduv Aziridiru\""},
        {"newobjects/baseshape.obj", "vase"},
        {"newobjects/baseshape2.obj", "jug"},
        {"newobjects/holder2.obj", "cradle on three legs"},
        {"newobjects/woman.obj", "standing woman"},
        {"newobjects/birdgood2.obj", "bird in flight"},
        {"newobjects/end.obj", "the end text \"the end\""},
        {"newobjects/torus.obj", "torus"},
        {"newobjects/skeletonhand2.obj", "skeleton hand"},
        {"newobjects/objectscougar.obj", "cougar"},
        {"newobjects/vellum.obj", "caterpillar head"},
        {"newobjects/ant_Kormos.obj", "ant body"},
        {"newobjects/ant_Podi1.obj", "ant legs, left"},
        {"newobjects/ant_Podi2.obj", "ant legs, right"},
        {"newobjects/solid1.obj", "truncated icosahedron"},
    };
    return list;
}

Mesh buildOutlineMesh(const std::string& file)
{
    if (file == "newobjects/face.obj") return buildFaces();
    if (file == "newobjects/title.obj") return buildTitle();
    if (file == "newobjects/baseshape.obj") return buildVase();
    if (file == "newobjects/baseshape2.obj") return buildJug();
    if (file == "newobjects/holder2.obj") {
        Mesh m = buildHolder();
        std::reverse(m.faces.begin(), m.faces.end());
        return m;
    }
    if (file == "newobjects/woman.obj") return buildWoman();
    if (file == "newobjects/birdgood2.obj") return buildBird();
    if (file == "newobjects/end.obj") return buildEnd();
    if (file == "newobjects/torus.obj") return buildTorus();
    if (file == "newobjects/skeletonhand2.obj") return buildSkeletonHand();
    if (file == "newobjects/objectscougar.obj") return buildCougar();
    if (file == "newobjects/vellum.obj") return buildWormHead();
    if (file == "newobjects/ant_Kormos.obj") return antBody(380);
    if (file == "newobjects/ant_Podi1.obj") return antLegs(-1, 0);
    if (file == "newobjects/ant_Podi2.obj") return antLegs(1, 0);
    if (file == "newobjects/solid1.obj") return buildSolid();
    return Mesh{};
}

std::vector<NamedMesh> buildWalkingAnt()
{
    // y up, head along +z, seen from above; 0.17 scale in the scene.
    return {{"legs_a", yUp(antLegs(0, 0))}, {"legs_b", yUp(antLegs(0, 1))}, {"body", yUp(antBody(900))}};
}

std::vector<NamedMesh> buildAcrobat()
{
    // A figure in a star jump, 3.6 units tall, centred; the scene tumbles a row of
    // 25 of them at scale 0.5 to 0.7, 3 units apart.
    auto f = [](V3 p) {
        double d = sdSphere(p, v3(0, 1.45, 0), 0.34);
        d = smin(d, sdEllipsoid(p, v3(0, 0.45, 0), v3(0.42, 0.65, 0.26)), 0.2);
        for (int s = -1; s <= 1; s += 2) {
            d = smin(d, sdRoundCone(p, v3(0.35 * s, 0.85, 0), v3(1.15 * s, 1.55, 0.1), 0.15, 0.12), 0.1);
            d = smin(d, sdRoundCone(p, v3(1.15 * s, 1.55, 0.1), v3(1.6 * s, 2.1, 0.15), 0.12, 0.1), 0.06);
            d = smin(d, sdSphere(p, v3(1.65 * s, 2.17, 0.15), 0.14), 0.05);
            d = smin(d, sdRoundCone(p, v3(0.2 * s, -0.1, 0), v3(0.65 * s, -0.95, 0.1), 0.21, 0.15), 0.1);
            d = smin(d, sdRoundCone(p, v3(0.65 * s, -0.95, 0.1), v3(0.95 * s, -1.75, 0), 0.15, 0.12), 0.06);
            d = smin(d, sdEllipsoid(p, v3(1.0 * s, -1.82, 0.12), v3(0.13, 0.11, 0.22)), 0.05);
        }
        return d;
    };
    return {{"acrobat", polygonise(f, v3(-2.0, -2.1, -0.6), v3(2.0, 2.4, 0.6), 1600)}};
}
