// Render targets through the EXT framebuffer entry points. The call order below is
// kept on purpose: the bindings each operation leaves behind are part of its
// contract (the scene attaches, binds, draws and resolves relying on them).
#include "render/render_targets.h"

#include "gl/gl_api.h"

#include <algorithm>

#include "render/allocation_failure.h"
#include "render/textures.h"

namespace {

int clampIndex(int index) { return std::clamp(index, 0, kRenderTargetSlots - 1); }

const GLenum kColourAttachments[3] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT,
                                      GL_COLOR_ATTACHMENT2_EXT};

GLuint makeRenderbuffer(GLenum format, int width, int height, int samples)
{
    GLuint name = 0;
    glGenRenderbuffersEXT(1, &name);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, name);
    glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, samples, format, width, height);
    return name;
}

void bindPair(const RenderTarget& target)
{
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, target.multisampleFbo);
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, target.resolveFbo);
}

} // namespace

int maxRenderSamples()
{
    static int maxSamples = -1;
    if (maxSamples < 0) {
        GLint value = 0;
        glGetIntegerv(GL_MAX_SAMPLES_EXT, &value);
        maxSamples = std::max(value, 0);
    }
    return maxSamples;
}

bool createTarget(RenderResources& context, int index, int width, int height, int samples)
{
    RenderTarget& target = context.renderTargets[clampIndex(index)];
    // A count above the driver's maximum makes the storage call fail and leaves an
    // incomplete framebuffer that draws nothing; the nearest count that works is
    // what the chooser of "8 samples" wants.
    samples = std::clamp(samples, 0, maxRenderSamples());

    clearGlErrors();
    target.colour0 = makeRenderbuffer(GL_RGBA8, width, height, samples);
    target.colour1 = makeRenderbuffer(GL_RGBA8, width, height, samples);
    target.depth = makeRenderbuffer(GL_DEPTH_COMPONENT32, width, height, samples);

    glGenFramebuffersEXT(1, &target.multisampleFbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.multisampleFbo);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, target.colour0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_RENDERBUFFER_EXT, target.colour1);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, target.depth);
    const bool complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT ||
                          width <= 0 || height <= 0;
    const bool outOfMemory = glOutOfMemory();

    glGenFramebuffersEXT(1, &target.resolveFbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.resolveFbo);
    return complete && !outOfMemory;
}

uint32_t attachTexture(RenderResources& context, int index, int slot, int textureId)
{
    slot = std::clamp(slot, 0, 2);
    // Callers keep the index in range; clamping it like the other operations keeps a
    // stray one from reading past the table.
    const RenderTarget& target = context.renderTargets[clampIndex(index)];
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.resolveFbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, kColourAttachments[slot], GL_TEXTURE_2D,
                              textureName(context, textureId), 0);
    return glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
}

void bindForDrawing(RenderResources& context, int index, int bufferCount)
{
    const RenderTarget& target = context.renderTargets[clampIndex(index)];
    bufferCount = std::clamp(bufferCount, 1, 3);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.multisampleFbo);
    glDrawBuffers(bufferCount, kColourAttachments);
}

uint32_t resolve(RenderResources& context, int index, int width, int height, int bufferCount, bool withDepth)
{
    bufferCount = std::clamp(bufferCount, 1, 3);
    const RenderTarget& target = context.renderTargets[clampIndex(index)];
    GLenum status = 0;
    for (int buffer = 0; buffer < bufferCount; ++buffer) {
        bindPair(target);
        glDrawBuffer(kColourAttachments[buffer]);
        glReadBuffer(kColourAttachments[buffer]);
        glBlitFramebufferEXT(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    }
    if (withDepth) {
        bindPair(target);
        glBlitFramebufferEXT(0, 0, width, height, 0, 0, width, height, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
        status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    }
    return status;
}

void resolveArea(RenderResources& context, int index, int x0, int y0, int x1, int y1)
{
    const RenderTarget& target = context.renderTargets[clampIndex(index)];
    bindPair(target);
    glDrawBuffer(kColourAttachments[0]);
    glReadBuffer(kColourAttachments[0]);
    glBlitFramebufferEXT(x0, y0, x1, y1, x0, y0, x1, y1, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void unbindTarget(RenderResources&)
{
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
