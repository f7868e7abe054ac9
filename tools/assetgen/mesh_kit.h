// Procedural modelling for the show's meshes: signed-distance shapes, a surface-nets
// polygoniser that gives quads with outward (counter-clockwise) winding, face
// ordering for the pencil's drawing order, and the two OBJ dialects the show reads.
// Pure double-precision code; no randomness except through the explicit Lcg.
#pragma once
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct V3 {
    double x = 0, y = 0, z = 0;
};
inline V3 v3(double x, double y, double z) { return V3{x, y, z}; }
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot3(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross3(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double len3(V3 a) { return std::sqrt(dot3(a, a)); }
inline V3 unit3(V3 a)
{
    double l = len3(a);
    return l > 0 ? a * (1.0 / l) : a;
}

// A small deterministic generator for modelling and textures (never the show's own).
struct Lcg {
    uint32_t s;
    explicit Lcg(uint32_t seed) : s(seed * 2654435761u + 12345u) {}
    uint32_t next()
    {
        s = s * 1664525u + 1013904223u;
        uint32_t x = s;
        x ^= x >> 15;
        x *= 0x2c1b3c6dU;
        x ^= x >> 12;
        return x;
    }
    double uniform() { return (next() >> 8) * (1.0 / 16777216.0); } // [0, 1)
    double signedUnit() { return uniform() * 2.0 - 1.0; }
};

struct Mesh {
    std::vector<V3> verts;
    std::vector<std::vector<int>> faces; // counter-clockwise seen from outside
    void append(const Mesh& m);
};

// ---- signed-distance building blocks (negative inside) ----
using Sdf = std::function<double(V3)>;
double sdSphere(V3 p, V3 c, double r);
double sdEllipsoid(V3 p, V3 c, V3 r);
double sdCapsule(V3 p, V3 a, V3 b, double r);
double sdRoundCone(V3 p, V3 a, V3 b, double ra, double rb); // radius ra at a, rb at b
double sdBox(V3 p, V3 c, V3 halfSize, double round);
double sdTorus(V3 p, double major, double minor); // about the y axis
double smin(double a, double b, double k);          // smooth union
double smax(double a, double b, double k);          // smooth intersection
inline double ssub(double a, double cut, double k) { return smax(a, -cut, k); }
V3 rotX(V3 p, double rad);
V3 rotY(V3 p, double rad);
V3 rotZ(V3 p, double rad);

// ---- polygonising ----
// Surface nets over [lo, hi] with the given cell size; one quad per grid edge that
// crosses the surface, vertices pulled onto the surface by two Newton steps.
Mesh surfaceNets(const Sdf& f, V3 lo, V3 hi, double cell);
// Picks the cell size so the quad count lands near targetFaces.
Mesh polygonise(const Sdf& f, V3 lo, V3 hi, int targetFaces);

// ---- explicit construction ----
void addQuad(Mesh& m, V3 a, V3 b, V3 c, V3 d); // a, b, c, d counter-clockwise seen from outside
// A swept box along a polyline in the xy plane, thickness `width`, depth `depth`
// (z from -depth/2 to +depth/2): front, back, two walls per segment, caps at the ends.
void addRibbon(Mesh& m, const std::vector<V3>& line, double width, double depth);

// ---- transforms and order ----
void transform(Mesh& m, const std::function<V3(V3)>& f); // f must keep handedness
void mirrorX(Mesh& m);                                    // mirrors and keeps the winding outward
V3 faceCentre(const Mesh& m, int face);
// Drawing order: bands along `axis` (from its high end when highFirst), inside each
// band sorted along `sweep`, alternating direction band to band, so consecutive
// polygons stay neighbours and the pencil's path runs without long jumps.
void orderFaces(Mesh& m, V3 axis, V3 sweep, int bands, bool highFirst);
// The same with the sweep given as the angle about `axis` around `centre`.
void orderFacesAround(Mesh& m, V3 axis, V3 centre, int bands, bool highFirst);
// Sectors by angle about `axis`, each swept outwards then inwards by distance from
// the axis: limbs that radiate from a body are drawn one at a time.
void orderFacesRadial(Mesh& m, V3 axis, V3 centre, int sectors);
void dropUnusedVertices(Mesh& m);

// ---- files ----
// Outline meshes: one run of "v" lines, then faces written "f 1// 2// 3//" (each
// index followed by exactly two separator characters, as the outline reader expects).
std::string outlineObjText(const Mesh& m, const std::string& title);
// Drawn meshes: "o" sections with "v" and "f a b c" lines (normals left to the reader).
struct NamedMesh {
    std::string name;
    Mesh mesh;
};
std::string drawnObjText(const std::vector<NamedMesh>& objects, const std::string& title);
bool writeFile(const std::string& path, const std::string& bytes);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
