// The web GL layer's state record and its set-up (loadGlEntryPoints: the vertex
// arrays, the streaming buffers, the canvas's viewport and samples), the error it
// keeps, and the matrix stacks with the GL and GLU calls that change them.
#include "gl/web/layer_web.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

void (*zw_glGenQueries)(GLsizei, GLuint*) = nullptr;
void (*zw_glQueryCounter)(GLuint, GLenum) = nullptr;
void (*zw_glGetQueryObjectui64v)(GLuint, GLenum, GLuint64*) = nullptr;

namespace zw {

WebGl gl;

void setError(GLenum error)
{
    if (gl.error == GL_NO_ERROR)
        gl.error = error;
}

void realEnable(GLenum cap, bool on)
{
    bool* real = cap == GL_BLEND ? &gl.real.blend : cap == GL_DEPTH_TEST ? &gl.real.depthTest
                 : cap == GL_CULL_FACE ? &gl.real.cullFace : cap == GL_SCISSOR_TEST ? &gl.real.scissorTest : nullptr;
    if (real && *real == on)
        return;
    if (real)
        *real = on;
    on ? glEnable(cap) : glDisable(cap);
}

void realBlendFunc(GLenum source, GLenum destination)
{
    if (gl.real.blendSource == source && gl.real.blendDestination == destination)
        return;
    gl.real.blendSource = source, gl.real.blendDestination = destination;
    glBlendFunc(source, destination);
}

void realDepthFunc(GLenum func)
{
    if (gl.real.depthFunc == func)
        return;
    gl.real.depthFunc = func;
    glDepthFunc(func);
}

void realActiveTexture(uint32_t unit)
{
    if (gl.real.activeTexture == unit)
        return;
    gl.real.activeTexture = unit;
    glActiveTexture(GL_TEXTURE0 + unit);
}

void realBindArrayBuffer(GLuint buffer)
{
    if (gl.real.arrayBuffer == buffer)
        return;
    gl.real.arrayBuffer = buffer;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
}

void realBindVertexArray(GLuint array)
{
    if (gl.real.vertexArray == array)
        return;
    gl.real.vertexArray = array;
    glBindVertexArray(array);
}

WebGl::StreamSlot& nextStreamSlot()
{
    gl.slotIndex = (gl.slotIndex + 1) % WebGl::kStreamSlots;
    return gl.slots[gl.slotIndex];
}

void streamUpload(GLenum target, GLuint buffer, size_t& capacity, const void* data, size_t bytes)
{
    // An element buffer is the bound vertex array's own.
    if (target == GL_ARRAY_BUFFER)
        realBindArrayBuffer(buffer);
    if (bytes > capacity) {
        capacity = std::max(bytes, 2 * capacity);
        glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_DYNAMIC_DRAW);
    }
    glBufferSubData(target, 0, static_cast<GLsizeiptr>(bytes), data);
}

} // namespace zw

using namespace zw;

namespace {

fixedgl::MatrixStack& currentStack()
{
    switch (gl.state.matrixMode) {
    case GL_PROJECTION:
        return gl.projection;
    case GL_TEXTURE:
        return gl.textureStacks[gl.state.activeTexture];
    default:
        return gl.modelview;
    }
}

// The matrix an operation changes. Waiting lines and points are in clip space
// already, but they still read the texture matrix when drawn.
Matrix& currentMatrix()
{
    if (gl.state.matrixMode == GL_TEXTURE) {
        flush();
        ++gl.textureSerial;
    } else if (gl.state.matrixMode == GL_PROJECTION) {
        ++gl.projectionSerial;
    } else {
        ++gl.matrixSerial;
    }
    return currentStack().top();
}

} // namespace

bool loadGlEntryPoints()
{
    if (gl.ready)
        return true;
    auto attribute = [](int index, int size, GLsizei stride, size_t offset, GLuint divisor) {
        glEnableVertexAttribArray(index);
        glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
        glVertexAttribDivisor(index, divisor);
    };
    // The widening stages read their ends from a texture by vertex number.
    glGenVertexArrays(1, &gl.wideVao);
    realBindVertexArray(gl.wideVao);
    glGenBuffers(1, &gl.vertexNumbers);
    glGenBuffers(1, &gl.quadIndices);
    realBindArrayBuffer(gl.vertexNumbers);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.quadIndices);
    attribute(glsles::corner, 1, 0, 0, 0);
    for (WebGl::StreamSlot& slot : gl.slots) {
        glGenVertexArrays(1, &slot.vao);
        realBindVertexArray(slot.vao);
        glGenBuffers(1, &slot.vbo);
        glGenBuffers(1, &slot.ibo);
        realBindArrayBuffer(slot.vbo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, slot.ibo);
        const GLsizei stride = sizeof(Vertex);
        attribute(glsles::position, 4, stride, offsetof(Vertex, position), 0);
        attribute(glsles::colour, 4, stride, offsetof(Vertex, colour), 0);
        attribute(glsles::normal, 3, stride, offsetof(Vertex, normal), 0);
        attribute(glsles::texCoord, 4, stride, offsetof(Vertex, texCoord), 0);
        glGenTextures(1, &slot.ends);
    }
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    gl.state.viewport = {viewport[0], viewport[1], viewport[2], viewport[3]};
    std::memcpy(gl.state.scissor, viewport, sizeof viewport);
    glGetIntegerv(GL_SAMPLES, &gl.canvasSamples);
    gl.immediate.reserve(64);
    gl.ready = true;
    return true;
}

void zw_glMatrixMode(GLenum mode)
{
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE)
        return setError(GL_INVALID_ENUM);
    gl.state.matrixMode = mode;
}

void zw_glLoadIdentity() { currentMatrix() = fixedgl::identityMatrix(); }
void zw_glLoadMatrixf(const GLfloat* m) { std::memcpy(currentMatrix().data(), m, 16 * sizeof(float)); }
void zw_glTranslatef(GLfloat x, GLfloat y, GLfloat z) { fixedgl::translate(currentMatrix(), x, y, z); }
void zw_glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { fixedgl::rotate(currentMatrix(), a, x, y, z); }
void zw_glScalef(GLfloat x, GLfloat y, GLfloat z) { fixedgl::scale(currentMatrix(), x, y, z); }

void zw_glPushMatrix()
{
    if (!currentStack().push())
        setError(kStackOverflow);
}

void zw_glPopMatrix()
{
    currentMatrix();
    if (!currentStack().pop())
        setError(kStackUnderflow);
}

void zw_gluPerspective(double fovy, double aspect, double zNear, double zFar)
{
    fixedgl::perspective(currentMatrix(), fovy, aspect, zNear, zFar);
}

void zw_gluLookAt(double ex, double ey, double ez, double cx, double cy, double cz, double ux, double uy, double uz)
{
    fixedgl::lookAt(currentMatrix(), ex, ey, ez, cx, cy, cz, ux, uy, uz);
}
