// Signed-distance shapes, surface nets, explicit ribbons, drawing order and OBJ text.
#include "tools/assetgen/mesh_kit.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

void Mesh::append(const Mesh& m)
{
    const int base = static_cast<int>(verts.size());
    verts.insert(verts.end(), m.verts.begin(), m.verts.end());
    for (const auto& f : m.faces) {
        std::vector<int> g = f;
        for (int& i : g)
            i += base;
        faces.push_back(std::move(g));
    }
}

// ---------------------------------------------------------------- distances

double sdSphere(V3 p, V3 c, double r) { return len3(p - c) - r; }

double sdEllipsoid(V3 p, V3 c, V3 r)
{
    // The usual bound-corrected approximation: exact on the axes, close elsewhere.
    V3 q = p - c;
    V3 a{q.x / r.x, q.y / r.y, q.z / r.z};
    V3 b{q.x / (r.x * r.x), q.y / (r.y * r.y), q.z / (r.z * r.z)};
    double k0 = len3(a), k1 = len3(b);
    if (k1 < 1e-12)
        return -std::min(r.x, std::min(r.y, r.z));
    return k0 * (k0 - 1.0) / k1;
}

double sdCapsule(V3 p, V3 a, V3 b, double r)
{
    V3 pa = p - a, ba = b - a;
    double h = std::clamp(dot3(pa, ba) / std::max(dot3(ba, ba), 1e-12), 0.0, 1.0);
    return len3(pa - ba * h) - r;
}

double sdRoundCone(V3 p, V3 a, V3 b, double ra, double rb)
{
    // Interpolated radius along the segment: not exact, but smooth and conservative
    // enough for gently tapering limbs.
    V3 pa = p - a, ba = b - a;
    double h = std::clamp(dot3(pa, ba) / std::max(dot3(ba, ba), 1e-12), 0.0, 1.0);
    return len3(pa - ba * h) - (ra + (rb - ra) * h);
}

double sdBox(V3 p, V3 c, V3 hs, double round)
{
    V3 q{std::fabs(p.x - c.x) - hs.x + round, std::fabs(p.y - c.y) - hs.y + round,
         std::fabs(p.z - c.z) - hs.z + round};
    V3 qp{std::max(q.x, 0.0), std::max(q.y, 0.0), std::max(q.z, 0.0)};
    return len3(qp) + std::min(std::max(q.x, std::max(q.y, q.z)), 0.0) - round;
}

double sdTorus(V3 p, double major, double minor)
{
    double q = std::sqrt(p.x * p.x + p.z * p.z) - major;
    return std::sqrt(q * q + p.y * p.y) - minor;
}

double smin(double a, double b, double k)
{
    if (k <= 0)
        return std::min(a, b);
    double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return b + (a - b) * h - k * h * (1.0 - h);
}

double smax(double a, double b, double k) { return -smin(-a, -b, k); }

V3 rotX(V3 p, double r) { return {p.x, p.y * std::cos(r) - p.z * std::sin(r), p.y * std::sin(r) + p.z * std::cos(r)}; }
V3 rotY(V3 p, double r) { return {p.x * std::cos(r) + p.z * std::sin(r), p.y, -p.x * std::sin(r) + p.z * std::cos(r)}; }
V3 rotZ(V3 p, double r) { return {p.x * std::cos(r) - p.y * std::sin(r), p.x * std::sin(r) + p.y * std::cos(r), p.z}; }

// ---------------------------------------------------------------- surface nets

Mesh surfaceNets(const Sdf& f, V3 lo, V3 hi, double cell)
{
    const int nx = static_cast<int>(std::ceil((hi.x - lo.x) / cell)) + 1;
    const int ny = static_cast<int>(std::ceil((hi.y - lo.y) / cell)) + 1;
    const int nz = static_cast<int>(std::ceil((hi.z - lo.z) / cell)) + 1;
    auto P = [&](int i, int j, int k) { return v3(lo.x + i * cell, lo.y + j * cell, lo.z + k * cell); };
    auto idx = [&](int i, int j, int k) { return (static_cast<size_t>(k) * ny + j) * nx + i; };

    std::vector<double> val(static_cast<size_t>(nx) * ny * nz);
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                val[idx(i, j, k)] = f(P(i, j, k));

    Mesh m;
    std::vector<int> cellVert(static_cast<size_t>(nx) * ny * nz, -1);
    static const int corner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0},
                                     {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    static const int edges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                     {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    const double eps = cell * 0.05;
    for (int k = 0; k + 1 < nz; ++k)
        for (int j = 0; j + 1 < ny; ++j)
            for (int i = 0; i + 1 < nx; ++i) {
                double v[8];
                int inside = 0;
                for (int c = 0; c < 8; ++c) {
                    v[c] = val[idx(i + corner[c][0], j + corner[c][1], k + corner[c][2])];
                    inside += v[c] < 0;
                }
                if (inside == 0 || inside == 8)
                    continue;
                V3 sum{};
                int n = 0;
                for (const auto& e : edges) {
                    double a = v[e[0]], b = v[e[1]];
                    if ((a < 0) == (b < 0))
                        continue;
                    double t = a / (a - b);
                    V3 pa = P(i + corner[e[0]][0], j + corner[e[0]][1], k + corner[e[0]][2]);
                    V3 pb = P(i + corner[e[1]][0], j + corner[e[1]][1], k + corner[e[1]][2]);
                    sum = sum + pa + (pb - pa) * t;
                    ++n;
                }
                V3 p = sum * (1.0 / n);
                // Two Newton steps towards the surface, kept inside the cell's
                // neighbourhood so thin parts cannot fold over.
                V3 c0 = P(i, j, k) + v3(0.5, 0.5, 0.5) * cell;
                for (int it = 0; it < 2; ++it) {
                    double d = f(p);
                    V3 g{f(p + v3(eps, 0, 0)) - f(p - v3(eps, 0, 0)), f(p + v3(0, eps, 0)) - f(p - v3(0, eps, 0)),
                         f(p + v3(0, 0, eps)) - f(p - v3(0, 0, eps))};
                    g = g * (1.0 / (2 * eps));
                    double gg = dot3(g, g);
                    if (gg < 1e-12)
                        break;
                    p = p - g * (d / gg);
                    V3 off = p - c0;
                    double lim = cell * 0.75;
                    p = c0 + v3(std::clamp(off.x, -lim, lim), std::clamp(off.y, -lim, lim), std::clamp(off.z, -lim, lim));
                }
                cellVert[idx(i, j, k)] = static_cast<int>(m.verts.size());
                m.verts.push_back(p);
            }

    auto cv = [&](int i, int j, int k) { return cellVert[idx(i, j, k)]; };
    auto emit = [&](int a, int b, int c, int d, bool flip) {
        if (a < 0 || b < 0 || c < 0 || d < 0)
            return;
        if (flip)
            m.faces.push_back({d, c, b, a});
        else
            m.faces.push_back({a, b, c, d});
    };
    for (int k = 0; k < nz; ++k)
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const bool in0 = val[idx(i, j, k)] < 0;
                // Edge along +x: the quad's normal points +x when the inside is at the low end.
                if (i + 1 < nx && j > 0 && k > 0 && j < ny - 1 && k < nz - 1) {
                    bool in1 = val[idx(i + 1, j, k)] < 0;
                    if (in0 != in1)
                        emit(cv(i, j - 1, k - 1), cv(i, j, k - 1), cv(i, j, k), cv(i, j - 1, k), !in0);
                }
                if (j + 1 < ny && i > 0 && k > 0 && i < nx - 1 && k < nz - 1) {
                    bool in1 = val[idx(i, j + 1, k)] < 0;
                    if (in0 != in1)
                        emit(cv(i - 1, j, k - 1), cv(i - 1, j, k), cv(i, j, k), cv(i, j, k - 1), !in0);
                }
                if (k + 1 < nz && i > 0 && j > 0 && i < nx - 1 && j < ny - 1) {
                    bool in1 = val[idx(i, j, k + 1)] < 0;
                    if (in0 != in1)
                        emit(cv(i - 1, j - 1, k), cv(i, j - 1, k), cv(i, j, k), cv(i - 1, j, k), !in0);
                }
            }
    return m;
}

Mesh polygonise(const Sdf& f, V3 lo, V3 hi, int targetFaces)
{
    V3 ext = hi - lo;
    double cell = std::max(ext.x, std::max(ext.y, ext.z)) / 40.0;
    Mesh m;
    for (int pass = 0; pass < 3; ++pass) {
        m = surfaceNets(f, lo, hi, cell);
        if (m.faces.empty())
            cell *= 0.5;
        else
            cell *= std::sqrt(static_cast<double>(m.faces.size()) / targetFaces);
    }
    return m;
}

// ---------------------------------------------------------------- explicit shapes

void addQuad(Mesh& m, V3 a, V3 b, V3 c, V3 d)
{
    const int base = static_cast<int>(m.verts.size());
    m.verts.insert(m.verts.end(), {a, b, c, d});
    m.faces.push_back({base, base + 1, base + 2, base + 3});
}

static void addQuadFacing(Mesh& m, V3 a, V3 b, V3 c, V3 d, V3 outward)
{
    if (dot3(cross3(c - a, d - b), outward) >= 0)
        addQuad(m, a, b, c, d);
    else
        addQuad(m, d, c, b, a);
}

void addRibbon(Mesh& m, const std::vector<V3>& line, double width, double depth)
{
    const size_t n = line.size();
    if (n < 2)
        return;
    const bool closed = len3(line.front() - line.back()) < 1e-9;
    const size_t segs = n - 1;
    auto segNormal = [&](size_t s) {
        V3 d = unit3(line[s + 1] - line[s]);
        return v3(-d.y, d.x, 0);
    };
    std::vector<V3> L(n), R(n);
    for (size_t i = 0; i < n; ++i) {
        V3 nPrev, nNext;
        bool hasPrev = i > 0 || closed, hasNext = i < segs || closed;
        if (hasPrev)
            nPrev = segNormal(i > 0 ? i - 1 : segs - 1);
        if (hasNext)
            nNext = segNormal(i < segs ? i : 0);
        V3 mdir = hasPrev && hasNext ? unit3(nPrev + nNext) : (hasPrev ? nPrev : nNext);
        double c = hasPrev && hasNext ? std::max(dot3(mdir, nNext), 0.5) : 1.0;
        V3 off = mdir * (0.5 * width / c);
        L[i] = line[i] + off;
        R[i] = line[i] - off;
    }
    const double h = depth * 0.5;
    auto at = [&](V3 p, double z) { return v3(p.x, p.y, z); };
    for (size_t s = 0; s < segs; ++s) {
        V3 nrm = segNormal(s);
        addQuadFacing(m, at(R[s], h), at(R[s + 1], h), at(L[s + 1], h), at(L[s], h), v3(0, 0, 1));
        addQuadFacing(m, at(L[s], -h), at(L[s + 1], -h), at(R[s + 1], -h), at(R[s], -h), v3(0, 0, -1));
        addQuadFacing(m, at(L[s], h), at(L[s + 1], h), at(L[s + 1], -h), at(L[s], -h), nrm);
        addQuadFacing(m, at(R[s], -h), at(R[s + 1], -h), at(R[s + 1], h), at(R[s], h), nrm * -1.0);
    }
    if (!closed) {
        V3 d0 = unit3(line[1] - line[0]) * -1.0;
        addQuadFacing(m, at(R[0], -h), at(R[0], h), at(L[0], h), at(L[0], -h), d0);
        V3 d1 = unit3(line[n - 1] - line[n - 2]);
        addQuadFacing(m, at(L[n - 1], -h), at(L[n - 1], h), at(R[n - 1], h), at(R[n - 1], -h), d1);
    }
}

// ---------------------------------------------------------------- transforms and order

void transform(Mesh& m, const std::function<V3(V3)>& f)
{
    for (V3& v : m.verts)
        v = f(v);
}

void mirrorX(Mesh& m)
{
    for (V3& v : m.verts)
        v.x = -v.x;
    for (auto& f : m.faces)
        std::reverse(f.begin(), f.end());
}

V3 faceCentre(const Mesh& m, int face)
{
    V3 c{};
    for (int i : m.faces[face])
        c = c + m.verts[i];
    return c * (1.0 / m.faces[face].size());
}

static void orderByKeys(Mesh& m, const std::vector<double>& along, const std::vector<double>& sweep, int bands,
                        bool highFirst)
{
    const size_t n = m.faces.size();
    if (n == 0)
        return;
    double lo = *std::min_element(along.begin(), along.end());
    double hi = *std::max_element(along.begin(), along.end());
    double range = std::max(hi - lo, 1e-9);
    std::vector<int> band(n);
    for (size_t i = 0; i < n; ++i) {
        double u = highFirst ? (hi - along[i]) / range : (along[i] - lo) / range;
        band[i] = std::min(bands - 1, static_cast<int>(u * bands));
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (band[a] != band[b])
            return band[a] < band[b];
        double ka = sweep[a], kb = sweep[b];
        if (band[a] & 1)
            ka = -ka, kb = -kb;
        return ka < kb;
    });
    std::vector<std::vector<int>> faces;
    faces.reserve(n);
    for (int i : order)
        faces.push_back(std::move(m.faces[i]));
    m.faces = std::move(faces);
}

void orderFaces(Mesh& m, V3 axis, V3 sweep, int bands, bool highFirst)
{
    std::vector<double> along, across;
    for (int i = 0; i < static_cast<int>(m.faces.size()); ++i) {
        V3 c = faceCentre(m, i);
        along.push_back(dot3(c, axis));
        across.push_back(dot3(c, sweep));
    }
    orderByKeys(m, along, across, bands, highFirst);
}

void orderFacesAround(Mesh& m, V3 axis, V3 centre, int bands, bool highFirst)
{
    axis = unit3(axis);
    V3 u = unit3(cross3(axis, std::fabs(axis.x) < 0.9 ? v3(1, 0, 0) : v3(0, 0, 1)));
    V3 w = cross3(axis, u);
    std::vector<double> along, angle;
    for (int i = 0; i < static_cast<int>(m.faces.size()); ++i) {
        V3 c = faceCentre(m, i) - centre;
        along.push_back(dot3(c, axis));
        angle.push_back(std::atan2(dot3(c, w), dot3(c, u)));
    }
    orderByKeys(m, along, angle, bands, highFirst);
}

void orderFacesRadial(Mesh& m, V3 axis, V3 centre, int sectors)
{
    axis = unit3(axis);
    V3 u = unit3(cross3(axis, std::fabs(axis.x) < 0.9 ? v3(1, 0, 0) : v3(0, 0, 1)));
    V3 w = cross3(axis, u);
    std::vector<double> angle, radius;
    for (int i = 0; i < static_cast<int>(m.faces.size()); ++i) {
        V3 c = faceCentre(m, i) - centre;
        angle.push_back(std::atan2(dot3(c, w), dot3(c, u)));
        radius.push_back(len3(c - axis * dot3(c, axis)));
    }
    orderByKeys(m, angle, radius, sectors, false);
}

void dropUnusedVertices(Mesh& m)
{
    // Renumbers vertices by first use, so the file reads in drawing order too.
    std::vector<int> remap(m.verts.size(), -1);
    std::vector<V3> verts;
    for (auto& f : m.faces)
        for (int& i : f) {
            if (remap[i] < 0) {
                remap[i] = static_cast<int>(verts.size());
                verts.push_back(m.verts[i]);
            }
            i = remap[i];
        }
    m.verts = std::move(verts);
}

// ---------------------------------------------------------------- files

static void appendNumber(std::string& out, double x)
{
    if (std::fabs(x) < 5e-6)
        x = 0; // no "-0.00000"
    char buf[32];
    std::snprintf(buf, sizeof buf, " %.5f", x);
    out += buf;
}

std::string outlineObjText(const Mesh& mesh, const std::string& title)
{
    Mesh m = mesh;
    dropUnusedVertices(m);
    std::string out = "# " + title + "\n";
    out.reserve(m.verts.size() * 32 + m.faces.size() * 32);
    for (const V3& v : m.verts) {
        out += "v";
        appendNumber(out, v.x);
        appendNumber(out, v.y);
        appendNumber(out, v.z);
        out += "\n";
    }
    char buf[24];
    for (const auto& f : m.faces) {
        out += "f";
        for (int i : f) {
            std::snprintf(buf, sizeof buf, " %d//", i + 1);
            out += buf;
        }
        out += "\n";
    }
    return out;
}

std::string drawnObjText(const std::vector<NamedMesh>& objects, const std::string& title)
{
    std::string out = "# " + title + "\n";
    int base = 1;
    char buf[24];
    for (const NamedMesh& o : objects) {
        Mesh m = o.mesh;
        dropUnusedVertices(m);
        out += "o " + o.name + "\n";
        for (const V3& v : m.verts) {
            out += "v";
            appendNumber(out, v.x);
            appendNumber(out, v.y);
            appendNumber(out, v.z);
            out += "\n";
        }
        for (const auto& f : m.faces) {
            out += "f";
            for (int i : f) {
                std::snprintf(buf, sizeof buf, " %d", i + base);
                out += buf;
            }
            out += "\n";
        }
        base += static_cast<int>(m.verts.size());
    }
    return out;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return writeFile(path, std::string(bytes.begin(), bytes.end()));
}
