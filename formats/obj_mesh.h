// Wavefront OBJ meshes (positions, texture coordinates, normals, faces, "o"
// objects) read in two passes into one interleaved vertex array plus triangle
// indices. Pure: drawing per object with GL client-side vertex arrays is
// render/obj_mesh_draw.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Eight floats handed to GL with their size as stride: position at byte 0,
// texture coordinate at 12, normal at 20. Fields a face form does not supply are 0.
struct MeshVertex {
    float px, py, pz;
    float u, v;
    float nx, ny, nz;
};
static_assert(sizeof(MeshVertex) == 32, "MeshVertex is eight packed floats");

// Position index -> the vertices made from that position, in order of creation.
// Stored as chains (head per position, next per vertex) instead of a tree of lists:
// positions are numbered densely, so the chains are an ordered map by construction.
struct VertexBuckets {
    static constexpr uint32_t kNone = 0xffffffffu;
    std::vector<uint32_t> head;  // per position: first vertex, or kNone
    std::vector<uint32_t> next;  // per vertex: next vertex of the same position, or kNone
    std::vector<uint32_t> list(int32_t position) const;
};

// Lines of OBJ text that no reader would write: a vertex with a value that is not
// a number, a face with a corner that is not an index, a keyword that OBJ does
// not have. Both readers pass over such text as well as they can; a count above
// zero says the file is damaged.
size_t malformedObjLines(const char* data, size_t size);

struct ObjMesh {
    bool loaded = false;
    bool hasPositions = false, hasTexcoords = false, hasNormals = false;
    int32_t positionCount = 0, texcoordCount = 0, normalCount = 0, triangleCount = 0;
    std::vector<float> positions;   // 3 per position, file order
    std::vector<float> texcoords;   // 2 per texture coordinate
    std::vector<float> normals;     // 3 per normal
    std::vector<MeshVertex> vertices;         // in order of first use by the faces
    std::vector<uint32_t> triangleIndices;    // 3 per triangle, file order
    std::vector<int32_t> objectStarts;        // first triangle of each object, then triangleCount
    VertexBuckets vertexBuckets;

    // False (mesh unchanged) when the file is not a readable regular file; a line
    // on standard error names it, and a file with no faces or cut inside a line. Reseeds the
    // process-wide generator with 123456. forceNormals regenerates normals even
    // when the file has them.
    bool load(const char* path, bool forceNormals);
    // The same reading rules on text in memory (always succeeds).
    void loadFromMemory(const char* data, size_t size, bool forceNormals);
};
