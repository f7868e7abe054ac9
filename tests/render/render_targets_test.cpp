// Render targets on a real GL context (Mesa under Xvfb): what is drawn into a
// target arrives in the attached texture after the resolve, with and without
// multisampling, and the clamping and binding rules hold.
#include "render/render_targets.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "render/textures.h"
#include "tests/support/gl_test_context.h"

namespace {

class RenderTargetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        context = std::make_unique<RenderResources>();
    }
    void TearDown() override
    {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static GLint boundFramebuffer(GLenum which)
    {
        GLint name = -1;
        glGetIntegerv(which, &name);
        return name;
    }

    static GlTestContext* gl;
    std::unique_ptr<RenderResources> context;
};
GlTestContext* RenderTargetTest::gl = nullptr;

void identityMatrices()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Fills the left half of the viewport (clip x from -1 to 0) with a flat colour.
void drawLeftHalf(float r, float g, float b)
{
    identityMatrices();
    glDisable(GL_TEXTURE_2D);
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(0, -1);
    glVertex2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
}

TEST_F(RenderTargetTest, DrawnPictureArrivesInTheTextureForEverySampleCount)
{
    const int width = 64, height = 32;
    // 8 is what the antialiased show asks for; drivers that offer fewer get their maximum.
    for (int samples : {0, 2, 4, 8}) {
        SCOPED_TRACE(samples);
        const int textureId = 10 + samples;
        makeRenderTexture(*context, textureId, width, height);
        ASSERT_TRUE(createTarget(*context, 3, width, height, samples));

        const RenderTarget& target = context->renderTargets[3];
        GLint storedSamples = -1;
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, target.colour0);
        glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_SAMPLES_EXT, &storedSamples);
        EXPECT_LE(storedSamples, maxRenderSamples());
        if (samples <= maxRenderSamples()) {
            EXPECT_GE(storedSamples, samples); // drivers may round up, never down
        }

        EXPECT_EQ(attachTexture(*context, 3, 0, textureId), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
        bindForDrawing(*context, 3, 1);
        EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
        glViewport(0, 0, width, height);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawLeftHalf(1, 0, 1);
        EXPECT_EQ(resolve(*context, 3, width, height, 1, false), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
        unbindTarget(*context);

        int w = 0, h = 0;
        const std::vector<uint8_t> pixels = readTextureRgba(context->textures[textureId], w, h);
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = &pixels[(y * width + x) * 4];
                const bool left = x < width / 2;
                wrong += p[0] != (left ? 255 : 0) || p[1] != 0 || p[2] != 255;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(RenderTargetTest, SecondColourBufferIsResolvedWhenAsked)
{
    const int width = 16, height = 16;
    makeRenderTexture(*context, 1, width, height);
    makeRenderTexture(*context, 2, width, height);
    createTarget(*context, 0, width, height, 4);
    attachTexture(*context, 0, 0, 1);
    attachTexture(*context, 0, 1, 2);
    bindForDrawing(*context, 0, 2);
    const GLfloat green[4] = {0, 1, 0, 1}, red[4] = {1, 0, 0, 1};
    glClearBufferfv(GL_COLOR, 0, green);
    glClearBufferfv(GL_COLOR, 1, red);
    resolve(*context, 0, width, height, 2, false);
    unbindTarget(*context);

    int w = 0, h = 0;
    const auto first = readTextureRgba(context->textures[1], w, h);
    const auto second = readTextureRgba(context->textures[2], w, h);
    EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.begin() + 4), (std::vector<uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(std::vector<uint8_t>(second.begin(), second.begin() + 4), (std::vector<uint8_t>{255, 0, 0, 255}));
}

TEST_F(RenderTargetTest, IndicesCountsAndSlotsAreClamped)
{
    createTarget(*context, 16, 8, 8, 0);
    EXPECT_NE(context->renderTargets[15].multisampleFbo, 0u);
    createTarget(*context, -3, 8, 8, 0);
    EXPECT_NE(context->renderTargets[0].multisampleFbo, 0u);
    for (int i = 1; i < 15; ++i)
        EXPECT_EQ(context->renderTargets[i].multisampleFbo, 0u) << i;

    bindForDrawing(*context, 99, 1);
    EXPECT_EQ(boundFramebuffer(GL_FRAMEBUFFER_BINDING_EXT), GLint(context->renderTargets[15].multisampleFbo));
    bindForDrawing(*context, -1, 1);
    EXPECT_EQ(boundFramebuffer(GL_FRAMEBUFFER_BINDING_EXT), GLint(context->renderTargets[0].multisampleFbo));

    struct CountCase {
        int requested;
        GLenum buffer1, buffer2;
    };
    const CountCase counts[] = {
        {0, GL_NONE, GL_NONE},
        {1, GL_NONE, GL_NONE},
        {2, GL_COLOR_ATTACHMENT1_EXT, GL_NONE},
        {5, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT},
    };
    for (const CountCase& c : counts) {
        SCOPED_TRACE(c.requested);
        bindForDrawing(*context, 0, c.requested);
        GLint buffers[4] = {};
        for (int i = 0; i < 4; ++i)
            glGetIntegerv(GL_DRAW_BUFFER0 + i, &buffers[i]);
        EXPECT_EQ(buffers[0], GLint(GL_COLOR_ATTACHMENT0_EXT));
        EXPECT_EQ(buffers[1], GLint(c.buffer1));
        EXPECT_EQ(buffers[2], GLint(c.buffer2));
        EXPECT_EQ(buffers[3], GLint(GL_NONE));
    }

    makeRenderTexture(*context, 40, 8, 8);
    makeRenderTexture(*context, 41, 8, 8);
    attachTexture(*context, 0, 7, 40);
    attachTexture(*context, 0, -2, 41);
    const GLenum attachments[3] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT};
    const GLuint expected[3] = {context->textures[41], 0, context->textures[40]};
    for (int i = 0; i < 3; ++i) {
        GLint name = -1;
        glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, attachments[i],
                                                 GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
        EXPECT_EQ(name, GLint(expected[i])) << "attachment " << i;
    }
}

TEST_F(RenderTargetTest, TargetsTheDriverCannotMakeAreReported)
{
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &maxSide);
    ASSERT_GT(maxSide, 0);
    struct Case {
        int width, height, samples;
        bool made;
    } cases[] = {
        {64, 48, 0, true},
        {64, 48, 4, true},
        {maxSide + 1, 8, 0, false},
        {8, maxSide + 1, 4, false},
        {0, 0, 0, true}, // draws nothing, but nothing failed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(createTarget(*context, 4, c.width, c.height, c.samples), c.made);
        // Still the contract's binding, and no error flag left for whoever looks next.
        EXPECT_EQ(boundFramebuffer(GL_FRAMEBUFFER_BINDING_EXT), GLint(context->renderTargets[4].resolveFbo));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(RenderTargetTest, EachOperationLeavesItsFramebufferBound)
{
    makeRenderTexture(*context, 7, 32, 32);
    createTarget(*context, 2, 32, 32, 0);
    const RenderTarget& target = context->renderTargets[2];
    EXPECT_EQ(boundFramebuffer(GL_FRAMEBUFFER_BINDING_EXT), GLint(target.resolveFbo));

    unbindTarget(*context);
    attachTexture(*context, 2, 0, 7);
    EXPECT_EQ(boundFramebuffer(GL_FRAMEBUFFER_BINDING_EXT), GLint(target.resolveFbo));

    bindForDrawing(*context, 2, 1);
    EXPECT_EQ(boundFramebuffer(GL_FRAMEBUFFER_BINDING_EXT), GLint(target.multisampleFbo));

    resolve(*context, 2, 32, 32, 1, true);
    EXPECT_EQ(boundFramebuffer(GL_READ_FRAMEBUFFER_BINDING_EXT), GLint(target.multisampleFbo));
    EXPECT_EQ(boundFramebuffer(GL_DRAW_FRAMEBUFFER_BINDING_EXT), GLint(target.resolveFbo));

    unbindTarget(*context);
    EXPECT_EQ(boundFramebuffer(GL_READ_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(boundFramebuffer(GL_DRAW_FRAMEBUFFER_BINDING_EXT), 0);
}

} // namespace
