// Client-side arrays of a vertex run.
#include "render/vertex_run.h"

#include "gl/gl_api.h"

void VertexRun::draw(uint32_t mode) const
{
    if (count() == 0)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(size_, GL_FLOAT, 0, positions_.data());
    glColorPointer(4, GL_FLOAT, 0, colours_.data());
    glDrawArrays(mode, 0, count());
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
