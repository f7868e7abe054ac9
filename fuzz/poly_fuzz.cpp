// Fuzz target: the token-by-token polygon reader, then stroke generation over the
// polygons it made (short and degenerate ones included) and tubes swept along a
// path made from the first polygon's points.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/poly_mesh.h"

namespace {

Vec3 wobble(const Vec3& p, double time, int index)
{
    return Vec3{p.tag, p.x, p.y + static_cast<float>(0.01 * index * time), p.z};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PolyMesh mesh;
    mesh.loadPolygonsFromMemory(reinterpret_cast<const char*>(data), size);

    const float modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5, 1};
    std::vector<PathSpline> strokes;
    mesh.generateStrokesWithMatrix(modelview, 1.5, strokes, true, 1.0, 0, 0.0, 1.0);
    mesh.deform = wobble;
    mesh.light = Vec3{0, 0.0f, 0.0f, 1.0f};
    mesh.generateStrokesWithMatrix(modelview, 2.5, strokes, true, 1.2, 5, -0.5, 1.5);
    mesh.generateStrokesWithMatrix(modelview, 2.5, strokes, false, 0.1, 0xffffffffu, 0.3, 0.7);
    for (const PathSpline& s : strokes)
        if (s.closed || s.count != static_cast<int32_t>(s.points.size()))
            __builtin_trap();

    if (!mesh.polygons.empty()) {
        PathSpline path;
        for (const Vec3& p : mesh.polygons[0].points)
            path.addPoint(p);
        PolyMesh tube;
        tube.buildBeadedTube(path, 5);
        tube.buildRingedTube(path, 4);
        Vec3 a, b, c;
        path.evaluate(0.5f, a);
        path.evaluateChannels(1.5f, a, b, c);
        path.evaluateWithLookAhead(2.0f, 0.5f, a, b);
        path.closed = false;
        path.evaluate(-1.0f, a);
        path.evaluate(1e9f, a);
        path.resampleByArcLength(7, 3);
        path.resampleByArcLength(9, 1);
        path.evaluateChannels(0.25f, a, b, c);
    }
    return 0;
}
