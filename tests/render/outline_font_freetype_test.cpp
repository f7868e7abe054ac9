// Outline font: glyph display lists drawn flat and compared with FreeType's own
// rasterisation of the same face, plus the metrics and the no-font fallback.
#include "render/outline_font.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "tests/support/gl_test_context.h"

namespace {

constexpr int kSize = 300;     // framebuffer pixels each way
constexpr int kEmPixels = 200; // one em drawn this large
constexpr int kOriginX = 50, kOriginY = 80;

std::string firstFontFile()
{
    for (const std::string& file : outlineFontFiles())
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            std::fclose(f);
            return file;
        }
    return {};
}

class OutlineFontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gl = new GlTestContext();
        if (gl->ok()) {
            context = new RenderResources();
            createOutlineFont(*context);
        }
    }
    static void TearDownTestSuite()
    {
        delete context;
        delete gl;
    }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        ASSERT_FALSE(firstFontFile().empty()) << "no sans-serif font installed (fonts-dejavu-core)";
        target = std::make_unique<TestFramebuffer>(kSize, kSize);
        // One em is kEmPixels; the glyph origin sits at pixel (kOriginX, kOriginY).
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-double(kOriginX) / kEmPixels, double(kSize - kOriginX) / kEmPixels, -double(kOriginY) / kEmPixels,
                double(kSize - kOriginY) / kEmPixels, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glColor4f(1, 1, 1, 1);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override
    {
        target.reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Pixels covered by drawing the list of one character, as a kSize x kSize mask.
    std::vector<bool> drawnMask(unsigned char code)
    {
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glCallList(context->fontBase + code);
        const auto pixels = readPixelsRgba(0, 0, kSize, kSize);
        std::vector<bool> mask(kSize * kSize);
        for (int i = 0; i < kSize * kSize; ++i)
            mask[i] = pixels[i * 4] > 127;
        return mask;
    }

    static GlTestContext* gl;
    static RenderResources* context;
    std::unique_ptr<TestFramebuffer> target;
};
GlTestContext* OutlineFontTest::gl = nullptr;
RenderResources* OutlineFontTest::context = nullptr;

// FreeType's anti-aliased rendering of the same glyph at kEmPixels per em, placed
// with its origin at the same pixel, as a mask (coverage above one half).
std::vector<bool> freetypeMask(const std::string& fontFile, unsigned char code)
{
    std::vector<bool> mask(kSize * kSize);
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, fontFile.c_str(), 0, &face) != 0)
        return mask;
    FT_Set_Pixel_Sizes(face, kEmPixels, kEmPixels);
    FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    for (unsigned row = 0; row < bitmap.rows; ++row)
        for (unsigned column = 0; column < bitmap.width; ++column) {
            const int x = kOriginX + face->glyph->bitmap_left + int(column);
            const int y = kOriginY + face->glyph->bitmap_top - 1 - int(row);
            if (x >= 0 && x < kSize && y >= 0 && y < kSize)
                mask[y * kSize + x] = bitmap.buffer[row * bitmap.pitch + column] > 127;
        }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return mask;
}

TEST_F(OutlineFontTest, GlyphsCoverWhatFreeTypeRasterises)
{
    const std::string fontFile = firstFontFile();
    // Holes ('o', '8', '@', 'B'), curves and diagonals; the overlap of the two masks
    // must be nearly all of their union.
    for (unsigned char code : {'o', '8', '@', 'A', 'B', 'g', 'x', '%'}) {
        SCOPED_TRACE(std::string(1, char(code)));
        const auto ours = drawnMask(code);
        const auto theirs = freetypeMask(fontFile, code);
        int both = 0, either = 0;
        for (int i = 0; i < kSize * kSize; ++i) {
            both += ours[i] && theirs[i];
            either += ours[i] || theirs[i];
        }
        ASSERT_GT(either, 500);
        EXPECT_GT(double(both) / either, 0.97);
    }

    // The hole of the 'o' stays open: along the row through its middle the ink is
    // met twice.
    const auto o = drawnMask('o');
    const GlyphMetrics& m = context->glyphMetrics['o'];
    const int middleRow = kOriginY + int((m.originY - m.blackBoxY / 2) * kEmPixels);
    int runs = 0;
    for (int x = 1; x < kSize; ++x)
        runs += o[middleRow * kSize + x] && !o[middleRow * kSize + x - 1];
    EXPECT_EQ(runs, 2);
}

TEST_F(OutlineFontTest, MetricsAndAdvanceOfEachList)
{
    const GlyphMetrics& a = context->glyphMetrics['A'];
    EXPECT_GT(a.blackBoxX, 0.4f);
    EXPECT_LT(a.blackBoxX, 1.0f);
    EXPECT_GT(a.blackBoxY, 0.5f);
    EXPECT_LT(a.blackBoxY, 1.0f);
    EXPECT_NEAR(a.originY, a.blackBoxY, 0.01f) << "capitals stand on the base line";
    EXPECT_LT(context->glyphMetrics['i'].advanceX, context->glyphMetrics['W'].advanceX);
    EXPECT_GT(context->glyphMetrics[' '].advanceX, 0.1f);
    EXPECT_EQ(context->glyphMetrics[' '].blackBoxX, 0.0f);
    EXPECT_EQ(context->glyphMetrics[200].advanceX, 0.0f) << "codes from 123 on are not built";

    // Each list ends at the next character's origin, so lists can be called in a row.
    for (unsigned char code : {'A', 'i', ' ', 'z'}) {
        glLoadIdentity();
        glCallList(context->fontBase + code);
        GLfloat modelview[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        EXPECT_FLOAT_EQ(modelview[12], context->glyphMetrics[code].advanceX) << code;
        EXPECT_FLOAT_EQ(modelview[13], 0.0f);
    }
    for (unsigned code : {123u, 200u, 255u}) {
        glLoadIdentity();
        glCallList(context->fontBase + code);
        GLfloat modelview[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        EXPECT_EQ(modelview[12], 0.0f) << code;
    }
}

TEST_F(OutlineFontTest, GlyphsAreExtrudedAlongNegativeZ)
{
    // Seen from the side (looking along +x), the 'I' spans z from -0.1 to 0.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.5, 0.5, -0.25, 1.25, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-90, 0, 1, 0); // z of the glyph now runs along screen x
    glCallList(context->fontBase + 'I');
    const auto pixels = readPixelsRgba(0, 0, kSize, kSize);
    int left = kSize, right = -1;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (pixels[(y * kSize + x) * 4] > 127) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    // 0.1 of a 1-unit-wide view of kSize pixels, between screen x 0 and +0.1.
    ASSERT_GE(right, left);
    EXPECT_NEAR((right + 1 - left) / double(kSize), kOutlineExtrusion, 0.01);
    EXPECT_NEAR(left / double(kSize), 0.5, 0.01);
}

TEST(OutlineFontFallbackTest, WithoutAFontFileTheListsStayEmpty)
{
    GlTestContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    auto context = std::make_unique<RenderResources>();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(createOutlineFontFrom(*context, {"/nonexistent/font.ttf"}));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(context->fontBase, 0u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(context->glyphMetrics['A'].advanceX, 0.0f);
    glLoadIdentity();
    glCallList(context->fontBase + 'A');
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[12], 0.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
