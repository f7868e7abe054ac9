// The GL side of stroke generation: reads the current modelview matrix and hands
// it to the pure generator, so the caller positions meshes with the matrix stack.
#include "gl/gl_api.h"

#include "scene/poly_mesh.h"

int PolyMesh::generateStrokes(double time, std::vector<PathSpline>& strokes, bool hatch, double density,
                              unsigned outlineStep, double from, double to, StrokeWindow* window)
{
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    return generateStrokesWithMatrix(modelview, time, strokes, hatch, density, outlineStep, from, to, window);
}
