// Polygon lists for the outline drawings and the pencil strokes made from them.
// Pure core: the stroke generator takes the modelview matrix as an argument; the
// GL wrapper (poly_mesh_gl.cpp) reads it from the current GL state.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/vecmath.h"
#include "scene/path_spline.h"

// The points wanted from a run of generateStrokes calls whose paths are joined
// end to end: those at joined indices [first, last). `before` is the number of
// points the earlier calls of the run counted; each call adds its own. A call
// makes and appends only the wanted points: those before them are counted without
// being computed (their random numbers are still drawn, so the points made are the
// very points of a run without a window), and once the count passes `last` the
// call stops. `before` is then a lower bound of the length, past `last`; the
// generator's state after such a call differs from a full run's, which matters
// nowhere, as every user of it reseeds it first.
struct StrokeWindow {
    int64_t first = 0, last = INT64_MAX;
    int64_t before = 0;
};

// Points of the hatching passes e = 0 … corners of a polygon whose lighting
// value is m (at least 0): ceil(w·density^(e+1)·35) with w = pow(m, 6), the
// weight compounded pass by pass. Exactly the counts pow's weight gives.
void hatchPassCounts(double m, double density, size_t corners, std::vector<size_t>& counts);

struct Polygon {
    std::vector<Vec3> points;     // tag 1, in face order
    Vec3 spare{1, 0.0f, 0.0f, 0.0f};
};

// Moves a corner point before use: deform(point, time, index).
using DeformFunction = Vec3 (*)(const Vec3& point, double time, int index);

struct PolyMesh {
    std::vector<Polygon> polygons;
    int32_t reservedA = -1, reservedB = -1;  // kept with the record, unused here
    Vec3 light{1, 0.0f, 0.0f, 0.0f};         // hatching light; shorter than 0.01 means (0.707, 0, 0.707)
    DeformFunction deform = nullptr;
    bool deformUsesIndex = true; // false: deform ignores its index, each corner is moved once per polygon
    float widthA = 1.0f;
    float widthB = 0.9f;
    std::string name;

    // Replaces the polygons with those of an OBJ file read token by token.
    // Unchanged when the file is not a readable regular file. That, a file with
    // no faces, one cut inside a line, faces naming missing vertices and reading
    // that stopped before the end (the line, and how many of the file's faces
    // were read) each give one line on standard error.
    void loadPolygons(const char* path);
    // The same reading rules on text in memory, silently: how many faces named a
    // vertex that does not exist (they are left out). `stoppedAt`, when given,
    // receives the offset of the text reading stopped at, or `size` when it read
    // to the end.
    size_t loadPolygonsFromMemory(const char* data, size_t size, size_t* stoppedAt = nullptr);

    void reversePolygons();
    void addPolygon(const Polygon& polygon);

    // Quads of a tube swept along the control points of path (beads with a thick
    // head, or thin rings).
    void buildBeadedTube(const PathSpline& path, int sides);
    void buildRingedTube(const PathSpline& path, int sides);

    // Turns polygons [n*from, n*to) into one open pencil path appended to strokes;
    // returns the number of paths. Reads the GL modelview matrix.
    int generateStrokes(double time, std::vector<PathSpline>& strokes, bool hatch, double density,
                        unsigned outlineStep, double from, double to, StrokeWindow* window = nullptr);
    // The same with the modelview matrix given (column-major, as GL stores it).
    int generateStrokesWithMatrix(const float modelview[16], double time, std::vector<PathSpline>& strokes,
                                  bool hatch, double density, unsigned outlineStep, double from,
                                  double to, StrokeWindow* window = nullptr);
};
