// Mesh drawing with client-side vertex arrays straight from the
// interleaved records (no buffer objects); colour, texture and shader state are
// the caller's.
#include "render/obj_mesh_draw.h"

#include <algorithm>

#include "gl/gl_api.h"

void drawMesh(const ObjMesh& mesh, int objectIndex)
{
    if (!mesh.loaded)
        return;
    const int n = static_cast<int>(mesh.objectStarts.size());
    if (objectIndex >= n)
        return;
    int first = objectIndex < 0 ? 0 : objectIndex;
    int last = objectIndex < 0 ? n - 1 : objectIndex + 1;
    first = std::min(first, n - 1);
    last = std::min(last, n - 1);

    const GLsizei stride = sizeof(MeshVertex);
    const char* base = reinterpret_cast<const char*>(mesh.vertices.data());
    for (int k = first; k < last; ++k) {
        const int start = mesh.objectStarts[k];
        const int count = mesh.objectStarts[k + 1] - start;
        if (count <= 0)
            continue;
        if (mesh.hasPositions) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(3, GL_FLOAT, stride, base);
        }
        if (mesh.hasTexcoords) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, stride, base + 12);
        }
        if (mesh.hasNormals) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(GL_FLOAT, stride, base + 20);
        }
        glDrawElements(GL_TRIANGLES, 3 * count, GL_UNSIGNED_INT, mesh.triangleIndices.data() + 3 * size_t(start));
        if (mesh.hasNormals)
            glDisableClientState(GL_NORMAL_ARRAY);
        if (mesh.hasPositions)
            glDisableClientState(GL_VERTEX_ARRAY);
        if (mesh.hasTexcoords)
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}
