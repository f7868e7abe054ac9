// Textures and read-back in the web GL layer: 1D textures as one-row 2D ones on
// WebGL's single target per unit, unsized formats made sized, pixels read as RGBA
// and converted, and pixel-pack buffers that are mapped through a copy.
#include "gl/web/layer_web.h"

#include <cstring>
#include <utility>
#include <vector>

// Emscripten implements it for WebGL 2; GLES 3.0 has no such entry point.
extern "C" void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);

using namespace zw;

namespace {

// A desktop value the layer accepts beyond those in gl_api_web.h.
constexpr GLenum kClamp = 0x2900;

GLenum textureTarget(GLenum target) { return target == GL_TEXTURE_1D ? GL_TEXTURE_2D : target; }

} // namespace

namespace zw {

// WebGL has one 2D target per unit where desktop GL has a 1D and a 2D one. The
// unit holds the 2D texture unless a 1D one was bound last (or alone). WebGL's
// active unit is left where the binding was made: what works on the active unit
// makes it the show's first (bindForTarget).
void bindRealTexture(uint32_t unit, GLuint name)
{
    if (gl.realBound[unit] == name)
        return;
    gl.realBound[unit] = name;
    realActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, name);
}

} // namespace zw

namespace {

// Before an upload or a parameter change: the texture the desktop call means.
void bindForTarget(GLenum target)
{
    const uint32_t unit = gl.state.activeTexture;
    bindRealTexture(unit, target == GL_TEXTURE_1D ? gl.bound1d[unit] : gl.state.boundTextures[unit]);
    realActiveTexture(unit);
}

GLuint boundName(GLenum target)
{
    const uint32_t unit = gl.state.activeTexture;
    return target == GL_TEXTURE_1D ? gl.bound1d[unit] : gl.state.boundTextures[unit];
}

GLenum sizedFormat(GLint internalFormat, GLenum type)
{
    // Sized formats, so a texture matches the multisampled renderbuffer it resolves from.
    if (type == GL_UNSIGNED_BYTE && (internalFormat == 4 || internalFormat == GL_RGBA))
        return GL_RGBA8;
    if (type == GL_UNSIGNED_BYTE && (internalFormat == 3 || internalFormat == GL_RGB))
        return GL_RGB8;
    if (internalFormat == 1)
        return GL_LUMINANCE;
    if (internalFormat == 2)
        return GL_LUMINANCE_ALPHA;
    return static_cast<GLenum>(internalFormat);
}

int componentsOf(GLenum format)
{
    switch (format) {
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    case GL_RGB:
        return 3;
    case GL_LUMINANCE_ALPHA:
        return 2;
    default:
        return 1;
    }
}

// Reads RGBA bytes of the read framebuffer into gl.pixels, tightly packed.
void readRgba(GLint x, GLint y, GLsizei width, GLsizei height)
{
    gl.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (gl.pixelPackBuffer)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, gl.pixels.data());
    if (gl.pixelPackBuffer)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, gl.pixelPackBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

// Converts gl.pixels to `format` rows with the current pack alignment, into client
// memory or (with a pixel pack buffer bound) the buffer at offset `destination`.
void deliverPixels(GLsizei width, GLsizei height, GLenum format, void* destination)
{
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    const int n = componentsOf(format);
    const size_t row = (static_cast<size_t>(width) * n + alignment - 1) / alignment * alignment;
    thread_local std::vector<unsigned char> packed;
    unsigned char* out = static_cast<unsigned char*>(destination);
    if (gl.pixelPackBuffer) {
        packed.assign(row * static_cast<size_t>(height), 0);
        out = packed.data();
    }
    for (GLsizei y = 0; y < height; ++y) {
        const unsigned char* from = gl.pixels.data() + static_cast<size_t>(y) * width * 4;
        unsigned char* to = out + static_cast<size_t>(y) * row;
        for (GLsizei x = 0; x < width; ++x, from += 4, to += n) {
            if (format == GL_BGRA) {
                to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = from[3];
            } else {
                std::memcpy(to, from, static_cast<size_t>(n));
            }
        }
    }
    if (gl.pixelPackBuffer)
        glBufferSubData(GL_PIXEL_PACK_BUFFER, reinterpret_cast<GLintptr>(destination),
                        static_cast<GLsizeiptr>(packed.size()), packed.data());
}

} // namespace

void zw_glActiveTexture(GLenum unit)
{
    const uint32_t index = unit - GL_TEXTURE0;
    if (index >= static_cast<uint32_t>(fixedgl::kTextureUnits))
        return setError(GL_INVALID_ENUM);
    flush();
    gl.state.activeTexture = index;
}

void zw_glGenTextures(GLsizei n, GLuint* names) { glGenTextures(n, names); }

void zw_glBindTexture(GLenum target, GLuint name)
{
    flush();
    const uint32_t unit = gl.state.activeTexture;
    if (target == GL_TEXTURE_1D) {
        gl.bound1d[unit] = name;
        bindRealTexture(unit, name != 0 ? name : gl.state.boundTextures[unit]);
    } else {
        gl.state.boundTextures[unit] = name;
        bindRealTexture(unit, name != 0 ? name : gl.bound1d[unit]);
    }
}

void zw_glTexParameteri(GLenum target, GLenum name, GLint value)
{
    flush();
    bindForTarget(target);
    if (value == static_cast<GLint>(kClamp))
        value = GL_CLAMP_TO_EDGE; // WebGL has no border to clamp towards
    glTexParameteri(textureTarget(target), name, value);
}

void zw_glTexParameterf(GLenum target, GLenum name, GLfloat value)
{
    zw_glTexParameteri(target, name, static_cast<GLint>(value));
}

void zw_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                     GLenum format, GLenum type, const void* pixels)
{
    flush();
    bindForTarget(target);
    if (level == 0)
        gl.textureSizes[boundName(target)] = {width, height};
    storageChanged(boundName(target), 1);
    glTexImage2D(textureTarget(target), level, static_cast<GLint>(sizedFormat(internalFormat, type)), width, height,
                 border, format, type, pixels);
}

void zw_glTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border, GLenum format,
                     GLenum type, const void* pixels)
{
    zw_glTexImage2D(target, level, internalFormat, width, 1, border, format, type, pixels);
}

void zw_glGetTexLevelParameteriv(GLenum target, GLint level, GLenum name, GLint* value)
{
    auto found = gl.textureSizes.find(boundName(target));
    const std::pair<int, int> size = found != gl.textureSizes.end() && level == 0 ? found->second : std::pair{0, 0};
    if (name == GL_TEXTURE_WIDTH)
        *value = size.first;
    else if (name == GL_TEXTURE_HEIGHT)
        *value = target == GL_TEXTURE_1D && size.second ? 1 : size.second;
    else
        setError(GL_INVALID_ENUM);
}

void zw_glGetTexImage(GLenum target, GLint level, GLenum format, GLenum, void* pixels)
{
    // WebGL reads textures only through a framebuffer.
    flush();
    const GLuint name = boundName(target);
    auto found = gl.textureSizes.find(name);
    if (found == gl.textureSizes.end() || level != 0)
        return setError(GL_INVALID_OPERATION);
    if (gl.scratchFbo == 0)
        glGenFramebuffers(1, &gl.scratchFbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, gl.scratchFbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0);
    readRgba(0, 0, found->second.first, found->second.second);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, gl.readFramebuffer);
    const GLuint pack = gl.pixelPackBuffer;
    gl.pixelPackBuffer = 0; // client memory, whatever is bound
    if (pack)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    deliverPixels(found->second.first, found->second.second, format, pixels);
    if (pack)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, pack);
    gl.pixelPackBuffer = pack;
}

void zw_glPixelStorei(GLenum name, GLint value) { glPixelStorei(name, value); }

void zw_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    flush();
    if (format == GL_RGBA && type == GL_UNSIGNED_BYTE)
        return glReadPixels(x, y, width, height, format, type, pixels);
    // WebGL reads RGBA bytes only; other layouts are converted here.
    readRgba(x, y, width, height);
    deliverPixels(width, height, format, pixels);
}

void zw_glGenBuffers(GLsizei n, GLuint* names) { glGenBuffers(n, names); }

void zw_glDeleteBuffers(GLsizei n, const GLuint* names)
{
    for (GLsizei k = 0; k < n; ++k) {
        gl.bufferShadows.erase(names[k]);
        gl.bufferSizes.erase(names[k]);
        if (names[k] == gl.pixelPackBuffer)
            gl.pixelPackBuffer = 0;
    }
    glDeleteBuffers(n, names);
}

void zw_glBindBuffer(GLenum target, GLuint name)
{
    if (target == GL_PIXEL_PACK_BUFFER)
        gl.pixelPackBuffer = name;
    if (target == GL_ARRAY_BUFFER)
        return realBindArrayBuffer(name);
    glBindBuffer(target, name);
}

void zw_glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    if (target == GL_PIXEL_PACK_BUFFER)
        gl.bufferSizes[gl.pixelPackBuffer] = size;
    glBufferData(target, size, data, usage);
}

void* zw_glMapBuffer(GLenum target, GLenum)
{
    // Mapping exists only to read back: copy the buffer out and hand over the copy.
    if (target != GL_PIXEL_PACK_BUFFER || gl.pixelPackBuffer == 0) {
        setError(GL_INVALID_OPERATION);
        return nullptr;
    }
    flush();
    std::vector<unsigned char>& shadow = gl.bufferShadows[gl.pixelPackBuffer];
    shadow.resize(static_cast<size_t>(gl.bufferSizes[gl.pixelPackBuffer]));
    if (!shadow.empty())
        glGetBufferSubData(target, 0, static_cast<GLsizeiptr>(shadow.size()), shadow.data());
    return shadow.data();
}

GLboolean zw_glUnmapBuffer(GLenum) { return GL_TRUE; }
