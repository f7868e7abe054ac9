// Outline font through WGL: the face shipped in the asset tree gives drawable
// glyph lists and metrics in em units; without the file the lists come from a
// face Windows has, and the call says so.
#include "render/outline_font.h"

#include <gtest/gtest.h>

#include <memory>

#include "gl/gl_api.h"
#include "tests/support/gl_test_context.h"

namespace {

constexpr int kSize = 128; // framebuffer pixels each way, one em across

// Pixels lit by one character's list, drawn flat with one em filling the target.
// The lists keep the font's 12-to-24 width squeeze (far narrower under Wine, which
// applies the width to its own em size), so the glyph is drawn `stretch` wide.
int litPixels(const RenderResources& context, unsigned char code, float stretch = 1.0f)
{
    TestFramebuffer target(kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.1, 0.9, -0.2, 0.8, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(stretch, 1.0f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(context.fontBase + code);
    const std::vector<uint8_t> pixels = readPixelsRgba(0, 0, kSize, kSize);
    int lit = 0;
    for (int i = 0; i < kSize * kSize; ++i)
        lit += pixels[size_t(i) * 4] > 127;
    return lit;
}

} // namespace

TEST(OutlineFontWin32Test, TheShippedFaceGivesGlyphListsAndMetrics)
{
    GlTestContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    auto context = std::make_unique<RenderResources>();
    context->deviceContext = gl.deviceContext();
    ASSERT_TRUE(createOutlineFontFrom(*context, {std::string(ZUR_SHOW_DIR) + "/fonts/DejaVuSans.ttf"}));

    // Heights in em units (the face's capitals stand 0.73 em); widths in
    // proportion to each other.
    const GlyphMetrics& a = context->glyphMetrics['A'];
    EXPECT_NEAR(a.blackBoxY, 0.73f, 0.03f);
    EXPECT_NEAR(a.originY, a.blackBoxY, 0.01f);
    EXPECT_NEAR(context->glyphMetrics['.'].blackBoxY, 0.12f, 0.03f);
    const float wide = context->glyphMetrics['W'].advanceX, narrow = context->glyphMetrics['i'].advanceX;
    ASSERT_GT(narrow, 0.0f);
    EXPECT_GT(wide / narrow, 3.0f);
    EXPECT_LT(wide / narrow, 4.0f);

    // Drawn at its natural width (0.68 em advance), 'A' fills a good part of the em.
    const float stretch = 0.68f / a.advanceX;
    const int capital = litPixels(*context, 'A', stretch);
    const int dot = litPixels(*context, '.', stretch);
    EXPECT_GT(capital, kSize * kSize / 10) << "the glyph is filled, not only outlined";
    EXPECT_LT(capital, kSize * kSize / 2);
    EXPECT_GT(dot, 0);
    EXPECT_GT(capital, 8 * dot);
    EXPECT_EQ(litPixels(*context, ' ', stretch), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(OutlineFontWin32Test, WithoutTheFileASystemFaceStandsIn)
{
    GlTestContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    auto context = std::make_unique<RenderResources>();
    context->deviceContext = gl.deviceContext();
    EXPECT_FALSE(createOutlineFontFrom(*context, {"no/such/font.ttf"}));
    ASSERT_GT(context->glyphMetrics['A'].advanceX, 0.0f);
    EXPECT_GT(litPixels(*context, 'A', 0.68f / context->glyphMetrics['A'].advanceX), kSize * kSize / 20);
}
