// Framebuffers in the web GL layer: the EXT names onto WebGL 2's core ones, the
// samples of each target remembered (lines and points widen differently into
// multisampled buffers), their completeness remembered, formats WebGL lacks
// replaced, draw buffers laid out.
#include "gl/web/layer_web.h"

#include <algorithm>

using namespace zw;

namespace {

// A desktop value the layer accepts beyond those in gl_api_web.h.
constexpr GLenum kDepthComponent = 0x1902;

GLuint framebufferOf(GLenum target) { return target == GL_READ_FRAMEBUFFER ? gl.readFramebuffer : gl.drawFramebuffer; }

uint64_t imageKey(GLuint name, int kind, GLint level)
{
    if (name == 0)
        return 0;
    return static_cast<uint64_t>(name) << 8 | static_cast<uint64_t>(level & 63) << 2 | static_cast<uint64_t>(kind);
}

void attach(GLenum target, GLenum attachment, uint64_t image)
{
    Attachments& points = gl.attachments[framebufferOf(target)];
    const uint32_t colour = attachment - GL_COLOR_ATTACHMENT0;
    if (colour < 8)
        points[colour] = image;
    if (attachment == GL_DEPTH_ATTACHMENT || attachment == GL_DEPTH_STENCIL_ATTACHMENT)
        points[8] = image;
    if (attachment == GL_STENCIL_ATTACHMENT || attachment == GL_DEPTH_STENCIL_ATTACHMENT)
        points[9] = image;
}

} // namespace

namespace zw {

void storageChanged(GLuint name, int kind)
{
    const auto holds = [name, kind](uint64_t image) {
        return image >> 8 == name && static_cast<int>(image & 3) == kind;
    };
    std::erase_if(gl.knownStatuses, [&holds](const KnownStatus& known) {
        return std::any_of(known.attachments.begin(), known.attachments.end(), holds);
    });
}

} // namespace zw

void zw_glGenFramebuffersEXT(GLsizei n, GLuint* names) { glGenFramebuffers(n, names); }

void zw_glBindFramebufferEXT(GLenum target, GLuint name)
{
    flush();
    if (target == GL_FRAMEBUFFER || target == GL_DRAW_FRAMEBUFFER)
        gl.drawFramebuffer = name;
    if (target == GL_FRAMEBUFFER || target == GL_READ_FRAMEBUFFER)
        gl.readFramebuffer = name;
    glBindFramebuffer(target, name);
}

void zw_glGenRenderbuffersEXT(GLsizei n, GLuint* names) { glGenRenderbuffers(n, names); }
void zw_glBindRenderbufferEXT(GLenum target, GLuint name)
{
    gl.boundRenderbuffer = name;
    glBindRenderbuffer(target, name);
}

void zw_glRenderbufferStorageMultisampleEXT(GLenum target, GLsizei samples, GLenum format, GLsizei width,
                                            GLsizei height)
{
    // WebGL 2 has no 32-bit integer depth; 24 bits is what desktop drivers give
    // for the asking anyway. Unsized colour formats get their sized twins.
    if (format == GL_DEPTH_COMPONENT32 || format == kDepthComponent)
        format = GL_DEPTH_COMPONENT24;
    else if (format == GL_RGBA)
        format = GL_RGBA8;
    else if (format == GL_RGB)
        format = GL_RGB8;
    GLint maxSamples = 0;
    glGetInternalformativ(GL_RENDERBUFFER, format, GL_SAMPLES, 1, &maxSamples);
    samples = std::clamp(samples, 0, std::max(maxSamples, 0));
    gl.renderbufferSamples[gl.boundRenderbuffer] = samples;
    storageChanged(gl.boundRenderbuffer, 2);
    glRenderbufferStorageMultisample(target, samples, format, width, height);
}

void zw_glFramebufferRenderbufferEXT(GLenum target, GLenum attachment, GLenum bufferTarget, GLuint buffer)
{
    if (attachment == GL_COLOR_ATTACHMENT0)
        gl.framebufferSamples[target == GL_READ_FRAMEBUFFER ? gl.readFramebuffer : gl.drawFramebuffer] =
            buffer ? gl.renderbufferSamples[buffer] : 0;
    attach(target, attachment, imageKey(buffer, 2, 0));
    glFramebufferRenderbuffer(target, attachment, bufferTarget, buffer);
}

void zw_glFramebufferTexture2DEXT(GLenum target, GLenum attachment, GLenum textureTarget, GLuint texture, GLint level)
{
    if (attachment == GL_COLOR_ATTACHMENT0)
        gl.framebufferSamples[target == GL_READ_FRAMEBUFFER ? gl.readFramebuffer : gl.drawFramebuffer] = 0;
    attach(target, attachment, imageKey(texture, 1, level));
    glFramebufferTexture2D(target, attachment, textureTarget, texture, level);
}

GLenum zw_glCheckFramebufferStatusEXT(GLenum target)
{
    const GLuint framebuffer = framebufferOf(target);
    if (framebuffer == 0)
        return glCheckFramebufferStatus(target);
    const Attachments& now = gl.attachments[framebuffer];
    for (const KnownStatus& known : gl.knownStatuses)
        if (known.framebuffer == framebuffer && known.attachments == now)
            return known.status;
    const GLenum status = glCheckFramebufferStatus(target);
    gl.knownStatuses.push_back({framebuffer, now, status});
    return status;
}

void zw_glBlitFramebufferEXT(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                             GLbitfield mask, GLenum filter)
{
    flush();
    if (!writesNothing()) // blits are scissored as draws are
        glBlitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, mask, filter);
}

void zw_glDrawBuffer(GLenum buffer)
{
    flush();
    if (gl.drawFramebuffer == 0) {
        const GLenum back = GL_BACK; // the canvas has one colour buffer
        glDrawBuffers(1, &back);
        return;
    }
    // WebGL wants attachment i at position i, NONE before it.
    GLenum list[fixedgl::kTextureUnits];
    const uint32_t index = buffer - GL_COLOR_ATTACHMENT0;
    if (index >= static_cast<uint32_t>(fixedgl::kTextureUnits))
        return setError(GL_INVALID_ENUM);
    for (uint32_t k = 0; k < index; ++k)
        list[k] = GL_NONE;
    list[index] = buffer;
    glDrawBuffers(static_cast<GLsizei>(index + 1), list);
}

void zw_glDrawBuffers(GLsizei n, const GLenum* buffers)
{
    flush();
    glDrawBuffers(n, buffers);
}

void zw_glReadBuffer(GLenum buffer)
{
    flush();
    if (gl.readFramebuffer == 0 && (buffer == GL_FRONT || buffer == GL_BACK))
        buffer = GL_BACK;
    glReadBuffer(buffer);
}
