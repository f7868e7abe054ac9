// Draws ObjMesh objects with client-side vertex arrays straight from the
// interleaved records (no buffer objects); colour, texture and shader state are
// the caller's.
#include "render/gl_api.h"

#include <algorithm>

#include "formats/obj_mesh.h"

void ObjMesh::drawMesh(int objectIndex) const
{
    if (!loaded)
        return;
    const int n = static_cast<int>(objectStarts.size());
    if (objectIndex >= n)
        return;
    int first = objectIndex < 0 ? 0 : objectIndex;
    int last = objectIndex < 0 ? n - 1 : objectIndex + 1;
    first = std::min(first, n - 1);
    last = std::min(last, n - 1);

    const GLsizei stride = sizeof(MeshVertex);
    const char* base = reinterpret_cast<const char*>(vertices.data());
    for (int k = first; k < last; ++k) {
        const int start = objectStarts[k];
        const int count = objectStarts[k + 1] - start;
        if (count <= 0)
            continue;
        if (hasPositions) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(3, GL_FLOAT, stride, base);
        }
        if (hasTexcoords) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, stride, base + 12);
        }
        if (hasNormals) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(GL_FLOAT, stride, base + 20);
        }
        glDrawElements(GL_TRIANGLES, 3 * count, GL_UNSIGNED_INT, triangleIndices.data() + 3 * size_t(start));
        if (hasNormals)
            glDisableClientState(GL_NORMAL_ARRAY);
        if (hasPositions)
            glDisableClientState(GL_VERTEX_ARRAY);
        if (hasTexcoords)
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}
