// Fuzz target: the OBJ mesh reader on arbitrary text, both with file normals and
// with regenerated normals; checks that every index it produced is in range.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "formats/obj_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    for (bool force : {false, true}) {
        ObjMesh mesh;
        mesh.loadFromMemory(text, size, force);
        if (mesh.triangleIndices.size() != size_t(mesh.triangleCount) * 3)
            __builtin_trap();
        for (uint32_t i : mesh.triangleIndices)
            if (i >= mesh.vertices.size())
                __builtin_trap();
        int32_t previous = 0;
        for (int32_t start : mesh.objectStarts) {
            if (start < previous || start > mesh.triangleCount)
                __builtin_trap();
            previous = start;
        }
        if (mesh.objectStarts.empty() || mesh.objectStarts.back() != mesh.triangleCount)
            __builtin_trap();
        if (force)
            for (const MeshVertex& v : mesh.vertices)
                if (std::isnan(v.nx) || std::isnan(v.ny) || std::isnan(v.nz))
                    __builtin_trap();
    }
    return 0;
}
