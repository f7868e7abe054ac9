// Drawing in the web GL layer: immediate mode and client arrays gathered into
// vertices, primitives assembled into triangles and drawn from one streaming
// vertex buffer; wide lines and points kept as clip-space runs until the state
// changes, then drawn as instances of one quad that the vertex stage widens.
#include "gl/web/layer_web.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

using namespace zw;

namespace {

// Ends one draw takes: rows of the ends texture up to the height WebGL 2 promises.
constexpr size_t kMaxEnds = static_cast<size_t>(glsles::kEndsPerRow) * 2048;

void drawIndexed(GLenum primitive, const std::vector<Vertex>& vertices, const std::vector<uint32_t>& indices)
{
    assert(gl.ready && "loadGlEntryPoints() before drawing");
    if (indices.empty() || bindProgram(glsles::Widen::none, false) == nullptr)
        return;
    realEnable(GL_CULL_FACE, gl.state.cullFace);
    WebGl::StreamSlot& slot = nextStreamSlot();
    realBindVertexArray(slot.vao);
    streamUpload(GL_ARRAY_BUFFER, slot.vbo, slot.vboBytes, vertices.data(), vertices.size() * sizeof(Vertex));
    streamUpload(GL_ELEMENT_ARRAY_BUFFER, slot.ibo, slot.iboBytes, indices.data(), indices.size() * sizeof(uint32_t));
    glDrawElements(primitive, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
}

// Vertex numbers and the quads' index pattern for at least `quads` quads.
void coverQuads(size_t quads)
{
    if (quads <= gl.quadCapacity)
        return;
    gl.quadCapacity = std::max(quads, 2 * gl.quadCapacity);
    std::vector<float> numbers(gl.quadCapacity * 4);
    for (size_t n = 0; n < numbers.size(); ++n)
        numbers[n] = static_cast<float>(n);
    std::vector<uint32_t> pattern;
    pattern.reserve(gl.quadCapacity * 6);
    for (uint32_t q = 0; q < gl.quadCapacity; ++q)
        for (uint32_t corner : {0u, 1u, 2u, 0u, 2u, 3u})
            pattern.push_back(4 * q + corner);
    realBindVertexArray(gl.wideVao);
    realBindArrayBuffer(gl.vertexNumbers);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(numbers.size() * sizeof(float)), numbers.data(),
                 GL_STATIC_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(pattern.size() * sizeof(uint32_t)), pattern.data(),
                 GL_STATIC_DRAW);
}

// The ends into a slot's texture, whole rows, grown only when too small.
void uploadEnds(WebGl::StreamSlot& slot, const std::vector<fixedgl::ClipVertex>& ends, int texels)
{
    const int rows = static_cast<int>(fixedgl::packEnds(ends, texels, glsles::kEndsPerRow, gl.scratch));
    bindRealTexture(kEndsUnit, slot.ends);
    realActiveTexture(kEndsUnit);
    if (rows > slot.endsRows) {
        slot.endsRows = std::max(rows, 2 * slot.endsRows);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, glsles::kEndsPerRow * 3, slot.endsRows, 0, GL_RGBA, GL_FLOAT,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    if (alignment != 4)
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, glsles::kEndsPerRow * texels, rows, GL_RGBA, GL_FLOAT, gl.scratch.data());
    if (alignment != 4)
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

} // namespace

namespace zw {

// Wide lines and points wait in `widened` until something changes the state they
// would be drawn with; the stroke pass's many strips become a few draws.
void flush()
{
    if (gl.pending == Pending::none)
        return;
    const Pending kind = gl.pending;
    gl.pending = Pending::none;
    if (gl.widened.empty())
        return;
    assert(gl.ready && "loadGlEntryPoints() before drawing");
    const bool lines = kind == Pending::lines;
    const size_t quads = lines ? gl.widened.size() - 1 : gl.widened.size();
    // Texture coordinates go only where a fragment stage may read them.
    gl.pendingTexels = gl.userProgram != 0 || (gl.state.texture2dUnits & 1) != 0 ? 3 : 2;
    if (bindProgram(lines ? glsles::Widen::lines : glsles::Widen::points, kind == Pending::smoothPoints) != nullptr) {
        // Culling is for polygons; GL never culls lines or points.
        realEnable(GL_CULL_FACE, false);
        coverQuads(quads);
        uploadEnds(nextStreamSlot(), gl.widened, gl.pendingTexels);
        realBindVertexArray(gl.wideVao);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * 6), GL_UNSIGNED_INT, nullptr);
    }
    gl.widened.clear();
}

} // namespace zw

namespace {

bool drawingMultisampled()
{
    if (gl.drawFramebuffer == 0)
        return gl.canvasSamples > 0;
    auto found = gl.framebufferSamples.find(gl.drawFramebuffer);
    return found != gl.framebufferSamples.end() && found->second > 0;
}

void drawVertices(GLenum mode, std::vector<Vertex>& vertices)
{
    const uint32_t count = static_cast<uint32_t>(vertices.size());
    if (count == 0)
        return;
    if (!fixedgl::isValidMode(mode)) {
        setError(GL_INVALID_ENUM);
        return;
    }
    const fixedgl::AttribState& s = gl.state;
    const bool point = fixedgl::isPointMode(mode);
    const bool wideLine = fixedgl::isLineMode(mode) && s.lineWidth > 1.0f;
    if (point || wideLine) {
        const bool multisample = drawingMultisampled();
        const bool smooth = point && s.pointSmooth && !multisample;
        const Pending kind = !point ? Pending::lines : smooth ? Pending::smoothPoints : Pending::squarePoints;
        const float size = point ? s.pointSize : s.lineWidth;
        const int rule = multisample ? 1 : smooth ? 2 : 0;
        if (gl.pending != kind || gl.pendingSize != size || gl.pendingRule != rule ||
            gl.widened.size() + count + 2 > kMaxEnds)
            flush();
        if (count + 2 > kMaxEnds)
            return setError(GL_OUT_OF_MEMORY);
        gl.pending = kind;
        gl.pendingSize = size;
        gl.pendingRule = rule;
        if (s.viewport.width <= 0 || s.viewport.height <= 0)
            return;
        const Matrix mvp = fixedgl::multiply(gl.projection.top(), gl.modelview.top());
        if (point)
            fixedgl::appendPoints(vertices.data(), count, mvp, gl.widened);
        else
            fixedgl::appendLineRuns(mode, vertices.data(), count, mvp, gl.widened);
        return;
    }
    flush();
    gl.indices.clear();
    if (fixedgl::isLineMode(mode)) {
        fixedgl::segmentIndices(mode, count, gl.indices);
        drawIndexed(GL_LINES, vertices, gl.indices);
    } else {
        fixedgl::triangleIndices(mode, count, gl.indices);
        drawIndexed(GL_TRIANGLES, vertices, gl.indices);
    }
}

Vertex currentVertex()
{
    Vertex v{};
    v.position[3] = 1;
    std::memcpy(v.colour, gl.state.colour, sizeof v.colour);
    std::memcpy(v.normal, gl.state.normal, sizeof v.normal);
    std::memcpy(v.texCoord, gl.state.texCoord, sizeof v.texCoord);
    return v;
}

} // namespace

void zw_glBegin(GLenum mode)
{
    if (gl.inBegin || !fixedgl::isValidMode(mode))
        return setError(GL_INVALID_OPERATION);
    gl.inBegin = true;
    gl.beginMode = mode;
    gl.immediate.clear();
}

void zw_glEnd()
{
    if (!gl.inBegin)
        return setError(GL_INVALID_OPERATION);
    gl.inBegin = false;
    if (!writesNothing())
        drawVertices(gl.beginMode, gl.immediate);
}

void zw_glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Vertex v = currentVertex();
    v.position[0] = x, v.position[1] = y, v.position[2] = z;
    gl.immediate.push_back(v);
}

void zw_glColor3f(GLfloat r, GLfloat g, GLfloat b) { zw_glColor4f(r, g, b, 1.0f); }

void zw_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    float* c = gl.state.colour;
    c[0] = r, c[1] = g, c[2] = b, c[3] = a;
}

void zw_glTexCoord2f(GLfloat s, GLfloat t)
{
    float* c = gl.state.texCoord;
    c[0] = s, c[1] = t, c[2] = 0, c[3] = 1;
}

namespace {

fixedgl::ArrayPointer* clientArray(GLenum array)
{
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &gl.arrays.position;
    case GL_COLOR_ARRAY:
        return &gl.arrays.colour;
    case GL_NORMAL_ARRAY:
        return &gl.arrays.normal;
    case GL_TEXTURE_COORD_ARRAY:
        return &gl.arrays.texCoord;
    default:
        return nullptr;
    }
}

void setPointer(fixedgl::ArrayPointer& array, GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    if (type != GL_FLOAT)
        return setError(GL_INVALID_ENUM); // the show sends floats only
    array.size = size, array.stride = stride, array.pointer = pointer;
}

} // namespace

void zw_glEnableClientState(GLenum array)
{
    if (fixedgl::ArrayPointer* a = clientArray(array))
        a->enabled = true;
}

void zw_glDisableClientState(GLenum array)
{
    if (fixedgl::ArrayPointer* a = clientArray(array))
        a->enabled = false;
}

void zw_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.position, size, type, stride, pointer);
}

void zw_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.colour, size, type, stride, pointer);
}

void zw_glNormalPointer(GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.normal, 3, type, stride, pointer);
}

void zw_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.texCoord, size, type, stride, pointer);
}

void zw_glDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    if (first < 0 || count < 0)
        return setError(GL_INVALID_VALUE);
    if (writesNothing())
        return;
    gl.vertices.clear();
    fixedgl::fetchVertices(gl.arrays, currentVertex(), static_cast<uint32_t>(first), static_cast<uint32_t>(count),
                           gl.vertices);
    drawVertices(mode, gl.vertices);
}

void zw_glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
    if (count <= 0 || indices == nullptr || writesNothing())
        return;
    auto indexAt = [type, indices](GLsizei k) -> uint32_t {
        if (type == GL_UNSIGNED_INT)
            return static_cast<const uint32_t*>(indices)[k];
        if (type == GL_UNSIGNED_SHORT)
            return static_cast<const uint16_t*>(indices)[k];
        return static_cast<const uint8_t*>(indices)[k];
    };
    gl.vertices.clear();
    if (mode == GL_TRIANGLES) {
        // Meshes: fetch the range the indices span once, draw with rebased indices.
        uint32_t low = ~0u, high = 0;
        for (GLsizei k = 0; k < count; ++k) {
            low = std::min(low, indexAt(k));
            high = std::max(high, indexAt(k));
        }
        fixedgl::fetchVertices(gl.arrays, currentVertex(), low, high - low + 1, gl.vertices);
        flush();
        gl.indices.clear();
        const GLsizei whole = count - count % 3;
        for (GLsizei k = 0; k < whole; ++k)
            gl.indices.push_back(indexAt(k) - low);
        drawIndexed(GL_TRIANGLES, gl.vertices, gl.indices);
        return;
    }
    for (GLsizei k = 0; k < count; ++k)
        fixedgl::fetchVertices(gl.arrays, currentVertex(), indexAt(k), 1, gl.vertices);
    drawVertices(mode, gl.vertices);
}
