// The fixed-function state of the web GL layer: enables (those WebGL has and those
// only the layer's programs see), light and material, the attribute stack, blend,
// depth, viewport, scissor and clear state, and the getters and errors that read it.
#include "gl/web/layer_web.h"

#include <cstring>

using namespace zw;

namespace {

// Desktop values the layer accepts beyond those in gl_api_web.h.
constexpr GLenum kTextureMatrix = 0x0BA8;
constexpr GLenum kMatrixMode = 0x0BA0;
constexpr GLenum kCurrentColour = 0x0B00;
constexpr GLenum kAmbientAndDiffuse = 0x1602;

// After glPopAttrib: WebGL's own state brought back in line with the restored record.
void applyRealState()
{
    const fixedgl::AttribState& s = gl.state;
    realEnable(GL_BLEND, s.blend);
    realEnable(GL_DEPTH_TEST, s.depthTest);
    realEnable(GL_SCISSOR_TEST, s.scissorTest);
    realBlendFunc(s.blendSource, s.blendDestination);
    realDepthFunc(s.depthFunc);
    glViewport(s.viewport.x, s.viewport.y, s.viewport.width, s.viewport.height);
    glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
    glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
    glClearDepthf(s.clearDepth);
    for (uint32_t unit = 0; unit < fixedgl::kTextureUnits; ++unit)
        bindRealTexture(unit, s.boundTextures[unit] ? s.boundTextures[unit] : gl.bound1d[unit]);
}

// Where an enable lives: in WebGL too (true) or only in the layer's state.
bool* enableFlag(GLenum cap, bool& real)
{
    fixedgl::AttribState& s = gl.state;
    real = false;
    switch (cap) {
    case GL_LIGHTING:
        return &s.lighting;
    case GL_LIGHT0:
        return &s.light0;
    case GL_COLOR_MATERIAL:
        return &s.colourMaterial;
    case GL_FOG:
        return &s.fog;
    case GL_POINT_SMOOTH:
        return &s.pointSmooth;
    default:
        break;
    }
    real = true;
    switch (cap) {
    case GL_BLEND:
        return &s.blend;
    case GL_DEPTH_TEST:
        return &s.depthTest;
    case GL_CULL_FACE:
        return &s.cullFace;
    case GL_SCISSOR_TEST:
        return &s.scissorTest;
    default:
        return nullptr;
    }
}

void setEnabled(GLenum cap, bool on)
{
    flush();
    if (cap == GL_TEXTURE_2D || cap == GL_TEXTURE_1D) {
        uint32_t& units = cap == GL_TEXTURE_2D ? gl.state.texture2dUnits : gl.state.texture1dUnits;
        const uint32_t bit = 1u << gl.state.activeTexture;
        units = on ? units | bit : units & ~bit;
        return;
    }
    bool real = false;
    bool* flag = enableFlag(cap, real);
    if (flag == nullptr)
        return; // desktop-only switches the show never needs (GL_NORMALIZE, ...)
    if (cap == GL_LIGHT0 && *flag != on)
        ++gl.lightSerial;
    *flag = on;
    if (real && cap != GL_CULL_FACE)
        realEnable(cap, on);
}

} // namespace

void zw_glEnable(GLenum cap) { setEnabled(cap, true); }
void zw_glDisable(GLenum cap) { setEnabled(cap, false); }

GLboolean zw_glIsEnabled(GLenum cap)
{
    if (cap == GL_TEXTURE_2D || cap == GL_TEXTURE_1D) {
        const uint32_t units = cap == GL_TEXTURE_2D ? gl.state.texture2dUnits : gl.state.texture1dUnits;
        return (units >> gl.state.activeTexture) & 1 ? GL_TRUE : GL_FALSE;
    }
    bool real = false;
    const bool* flag = enableFlag(cap, real);
    return flag && *flag ? GL_TRUE : GL_FALSE;
}

void zw_glLightfv(GLenum light, GLenum name, const GLfloat* p)
{
    if (light != GL_LIGHT0)
        return; // one light is all the show lights with
    fixedgl::AttribState& s = gl.state;
    ++gl.lightSerial;
    switch (name) {
    case GL_POSITION:
        // GL keeps the position in eye space, transformed when it is given.
        fixedgl::transform(gl.modelview.top(), p, s.lightPosition);
        break;
    case GL_AMBIENT:
        std::memcpy(s.lightAmbient, p, 4 * sizeof(float));
        break;
    case GL_DIFFUSE:
        std::memcpy(s.lightDiffuse, p, 4 * sizeof(float));
        break;
    case GL_SPECULAR:
        std::memcpy(s.lightSpecular, p, 4 * sizeof(float));
        break;
    default:
        setError(GL_INVALID_ENUM);
    }
}

void zw_glMaterialfv(GLenum, GLenum name, const GLfloat* p)
{
    // Front and back share one material: two-sided lighting is off.
    fixedgl::AttribState& s = gl.state;
    ++gl.lightSerial;
    switch (name) {
    case GL_AMBIENT:
        std::memcpy(s.materialAmbient, p, 4 * sizeof(float));
        break;
    case GL_DIFFUSE:
        std::memcpy(s.materialDiffuse, p, 4 * sizeof(float));
        break;
    case kAmbientAndDiffuse:
        std::memcpy(s.materialAmbient, p, 4 * sizeof(float));
        std::memcpy(s.materialDiffuse, p, 4 * sizeof(float));
        break;
    case GL_SPECULAR:
        std::memcpy(s.materialSpecular, p, 4 * sizeof(float));
        break;
    case GL_EMISSION:
        std::memcpy(s.materialEmission, p, 4 * sizeof(float));
        break;
    case GL_SHININESS:
        s.materialShininess = p[0];
        break;
    default:
        setError(GL_INVALID_ENUM);
    }
}

// Flat shading is recorded but drawn smooth: the show shades smoothly throughout.
void zw_glShadeModel(GLenum mode) { gl.state.shadeModel = mode; }
void zw_glHint(GLenum, GLenum) {}
void zw_glLineWidth(GLfloat width) { gl.state.lineWidth = width; }
void zw_glPointSize(GLfloat size) { gl.state.pointSize = size; }

void zw_glPushAttrib(GLbitfield mask)
{
    if (gl.attribStack.size() >= 16)
        return setError(kStackOverflow);
    gl.attribStack.emplace_back(mask, gl.state);
}

void zw_glPopAttrib()
{
    if (gl.attribStack.empty())
        return setError(kStackUnderflow);
    flush();
    fixedgl::restoreAttribs(gl.state, gl.attribStack.back().second, gl.attribStack.back().first);
    gl.attribStack.pop_back();
    ++gl.lightSerial;
    applyRealState();
}

void zw_glBlendFunc(GLenum source, GLenum destination)
{
    flush();
    gl.state.blendSource = source, gl.state.blendDestination = destination;
    realBlendFunc(source, destination);
}

void zw_glDepthFunc(GLenum func)
{
    flush();
    gl.state.depthFunc = func;
    realDepthFunc(func);
}

void zw_glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flush();
    int* b = gl.state.scissor;
    b[0] = x, b[1] = y, b[2] = width, b[3] = height;
    glScissor(x, y, width, height);
}

void zw_glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flush();
    gl.state.viewport = {x, y, width, height};
    glViewport(x, y, width, height);
}

void zw_glClear(GLbitfield mask)
{
    flush();
    if (!writesNothing())
        glClear(mask);
}

void zw_glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    float* c = gl.state.clearColour;
    c[0] = r, c[1] = g, c[2] = b, c[3] = a;
    glClearColor(r, g, b, a);
}

void zw_glClearDepth(double depth)
{
    gl.state.clearDepth = static_cast<float>(depth);
    glClearDepthf(static_cast<float>(depth));
}

void zw_glGetFloatv(GLenum name, GLfloat* v)
{
    const fixedgl::AttribState& s = gl.state;
    switch (name) {
    case GL_MODELVIEW_MATRIX:
        std::memcpy(v, gl.modelview.top().data(), 16 * sizeof(float));
        return;
    case GL_PROJECTION_MATRIX:
        std::memcpy(v, gl.projection.top().data(), 16 * sizeof(float));
        return;
    case kTextureMatrix:
        std::memcpy(v, gl.textureStacks[s.activeTexture].top().data(), 16 * sizeof(float));
        return;
    case GL_VIEWPORT:
        v[0] = static_cast<float>(s.viewport.x), v[1] = static_cast<float>(s.viewport.y);
        v[2] = static_cast<float>(s.viewport.width), v[3] = static_cast<float>(s.viewport.height);
        return;
    case kCurrentColour:
        std::memcpy(v, s.colour, 4 * sizeof(float));
        return;
    case GL_LINE_WIDTH:
        v[0] = s.lineWidth;
        return;
    default:
        glGetFloatv(name, v);
    }
}

void zw_glGetIntegerv(GLenum name, GLint* v)
{
    const fixedgl::AttribState& s = gl.state;
    switch (name) {
    case GL_VIEWPORT:
        v[0] = s.viewport.x, v[1] = s.viewport.y, v[2] = s.viewport.width, v[3] = s.viewport.height;
        return;
    case GL_SCISSOR_BOX:
        std::memcpy(v, s.scissor, sizeof s.scissor);
        return;
    case kMatrixMode:
        v[0] = static_cast<GLint>(s.matrixMode);
        return;
    default:
        glGetIntegerv(name, v);
    }
}

const GLubyte* zw_glGetString(GLenum name) { return glGetString(name); }

GLenum zw_glGetError()
{
    const GLenum own = gl.error;
    gl.error = GL_NO_ERROR;
    const GLenum real = glGetError();
    return own != GL_NO_ERROR ? own : real;
}

void zw_glFinish()
{
    flush();
    glFinish();
}

void zw_glFlush()
{
    flush();
    glFlush();
}
