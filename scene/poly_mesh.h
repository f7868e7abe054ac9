// Polygon lists for the outline drawings and the pencil strokes made from them.
// Pure core: the stroke generator takes the modelview matrix as an argument; the
// GL wrapper (poly_mesh_gl.cpp) reads it from the current GL state.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "render/vecmath.h"
#include "scene/path_spline.h"

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
    float widthA = 1.0f;
    float widthB = 0.9f;
    std::string name;

    // Replaces the polygons with those of an OBJ file read token by token.
    // Unchanged when the file cannot be opened.
    void loadPolygons(const char* path);
    // The same reading rules on text in memory.
    void loadPolygonsFromMemory(const char* data, size_t size);

    void reversePolygons();
    void addPolygon(const Polygon& polygon);

    // Quads of a tube swept along the control points of path (beads with a thick
    // head, or thin rings).
    void buildBeadedTube(const PathSpline& path, int sides);
    void buildRingedTube(const PathSpline& path, int sides);

    // Turns polygons [n*from, n*to) into one open pencil path appended to strokes;
    // returns the number of paths. Reads the GL modelview matrix.
    int generateStrokes(double time, std::vector<PathSpline>& strokes, bool hatch, double density,
                        unsigned outlineStep, double from, double to);
    // The same with the modelview matrix given (column-major, as GL stores it).
    int generateStrokesWithMatrix(const float modelview[16], double time, std::vector<PathSpline>& strokes,
                                  bool hatch, double density, unsigned outlineStep, double from,
                                  double to);
};
