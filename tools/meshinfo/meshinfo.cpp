// meshinfo FILE.obj [--poly]: loads a mesh the way the show does (the OBJ mesh
// reader, or the polygon reader with --poly) and prints its counts and bounding box.
#include <cfloat>
#include <cstdio>
#include <cstring>

#include "formats/obj_mesh.h"
#include "scene/poly_mesh.h"

namespace {

struct Box {
    float lo[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float hi[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    bool empty = true;
    void add(float x, float y, float z)
    {
        const float v[3] = {x, y, z};
        for (int i = 0; i < 3; ++i) {
            if (v[i] < lo[i])
                lo[i] = v[i];
            if (v[i] > hi[i])
                hi[i] = v[i];
        }
        empty = false;
    }
    void print() const
    {
        if (empty)
            std::printf("bounds: none\n");
        else
            std::printf("bounds: (%g, %g, %g) .. (%g, %g, %g)\n", lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
    }
};

int usage()
{
    std::fprintf(stderr, "usage: meshinfo FILE.obj [--poly]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = nullptr;
    bool poly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--poly") == 0)
            poly = true;
        else if (!path)
            path = argv[i];
        else
            return usage();
    }
    if (!path)
        return usage();
    if (FILE* probe = std::fopen(path, "r"))
        std::fclose(probe);
    else {
        std::fprintf(stderr, "meshinfo: cannot open %s\n", path);
        return 1;
    }

    Box box;
    if (poly) {
        PolyMesh mesh;
        mesh.loadPolygons(path);
        size_t points = 0;
        for (const Polygon& p : mesh.polygons) {
            points += p.points.size();
            for (const Vec3& v : p.points)
                box.add(v.x, v.y, v.z);
        }
        std::printf("polygons: %zu\npoints: %zu\n", mesh.polygons.size(), points);
    } else {
        ObjMesh mesh;
        mesh.load(path, false);
        std::printf("positions: %d\ntexcoords: %d\nnormals: %d\nvertices: %zu\ntriangles: %d\nobjects: %zu\n",
                    mesh.positionCount, mesh.texcoordCount, mesh.normalCount, mesh.vertices.size(),
                    mesh.triangleCount, mesh.objectStarts.size() - 1);
        for (size_t i = 0; i + 2 < mesh.positions.size(); i += 3)
            box.add(mesh.positions[i], mesh.positions[i + 1], mesh.positions[i + 2]);
    }
    box.print();
    return 0;
}
