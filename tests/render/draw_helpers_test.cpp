// Drawing helpers measured in pixels: an orthographic view of 10 pixels per unit,
// centred on the framebuffer, and the covered area read back.
#include "render/draw_helpers.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

#include "tests/support/gl_test_context.h"

namespace {

constexpr int kSize = 160;       // framebuffer pixels each way
constexpr double kHalfUnits = 8; // the view spans -8 .. 8 units: 10 pixels per unit

// Bounding box, in units, of the pixels that are not black.
struct Box {
    double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
    double width() const { return right - left; }
    double height() const { return top - bottom; }
};

class DrawHelpersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        target = std::make_unique<TestFramebuffer>(kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-kHalfUnits, kHalfUnits, -kHalfUnits, kHalfUnits, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override
    {
        glDisable(GL_TEXTURE_2D);
        glDeleteTextures(1, &texture);
        target.reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    Box coveredBox() const
    {
        const auto pixels = readPixelsRgba(0, 0, kSize, kSize);
        Box box;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                if (pixels[(y * kSize + x) * 4 + 3] != 0) {
                    box.left = std::min(box.left, x / 10.0 - kHalfUnits);
                    box.right = std::max(box.right, (x + 1) / 10.0 - kHalfUnits);
                    box.bottom = std::min(box.bottom, y / 10.0 - kHalfUnits);
                    box.top = std::max(box.top, (y + 1) / 10.0 - kHalfUnits);
                }
        return box;
    }

    // Colour at a point given in units.
    std::array<uint8_t, 4> colourAt(double x, double y) const
    {
        const auto p = readPixelsRgba(int((x + kHalfUnits) * 10), int((y + kHalfUnits) * 10), 1, 1);
        return {p[0], p[1], p[2], p[3]};
    }

    // 2 x 2 texture, nearest filtering: texel (u, v) corners red (0,0), green (1,0),
    // blue (0,1), white (1,1).
    void useCornerTexture()
    {
        const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    }

    static GlTestContext* gl;
    std::unique_ptr<TestFramebuffer> target;
    GLuint texture = 0;
};
GlTestContext* DrawHelpersTest::gl = nullptr;

using Rgba = std::array<uint8_t, 4>;
const Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

TEST_F(DrawHelpersTest, SpriteIsScaledThenTurnedAndPanelTurnedThenScaled)
{
    struct AreaCase {
        const char* name;
        void (*draw)();
        double width, height;
    };
    const AreaCase cases[] = {
        {"sprite 2 x 1 at 90 degrees", [] { drawSprite(90, 2, 1, true, 1); }, 2, 4},
        {"panel 2 x 1 at 90 degrees", [] { drawPanel(0, 90, 2, 1); }, 4, 2},
        {"sprite 2 x 1 unturned", [] { drawSprite(0, 2, 1, true, 1); }, 4, 2},
        {"sprite with negative width", [] { drawSprite(0, -3, 1, true, 1); }, 6, 2},
        {"panel 1 x 3 unturned", [] { drawPanel(0, 0, 1, 3); }, 2, 6},
    };
    for (const AreaCase& c : cases) {
        SCOPED_TRACE(c.name);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        c.draw();
        const Box box = coveredBox();
        EXPECT_NEAR(box.width(), c.width, 0.11);
        EXPECT_NEAR(box.height(), c.height, 0.11);
        EXPECT_NEAR(box.left + box.right, 0, 0.11) << "centred on the origin";
        EXPECT_NEAR(box.bottom + box.top, 0, 0.11);
    }
}

TEST_F(DrawHelpersTest, TextureFollowsTheQuad)
{
    useCornerTexture();
    // The panel turns the quad before scaling it: texel (0, 0) ends at the lower right.
    drawPanel(0, 90, 2, 1);
    EXPECT_EQ(colourAt(1.9, -0.9), kRed);
    EXPECT_EQ(colourAt(1.9, 0.9), kGreen);
    EXPECT_EQ(colourAt(-1.9, -0.9), kBlue);
    EXPECT_EQ(colourAt(-1.9, 0.9), kWhite);

    // A negative sprite width mirrors u: the right column of the texture shows on the left.
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    drawSprite(0, -2, 1, true, 1);
    EXPECT_EQ(colourAt(-1.9, -0.9), kGreen);
    EXPECT_EQ(colourAt(1.9, -0.9), kRed);
    EXPECT_EQ(colourAt(-1.9, 0.9), kWhite);

    // texScale repeats the texture: at 2 the lower-left quarter already holds all four texels.
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    drawSprite(0, 4, 4, true, 2);
    EXPECT_EQ(colourAt(-3.9, -3.9), kRed);
    EXPECT_EQ(colourAt(-1.9, -3.9), kGreen);
    EXPECT_EQ(colourAt(0.1, -3.9), kRed);
}

TEST_F(DrawHelpersTest, FacingTheViewerDropsRotationAndScaleButKeepsThePlace)
{
    struct FacingCase {
        bool faceViewer;
        double width, height;
    };
    const FacingCase cases[] = {{true, 4, 2}, {false, 2, 4}};
    for (const FacingCase& c : cases) {
        SCOPED_TRACE(c.faceViewer);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(3, 1, 0);
        glRotatef(90, 0, 0, 1);
        drawSprite(0, 2, 1, c.faceViewer, 1);
        const Box box = coveredBox();
        EXPECT_NEAR(box.width(), c.width, 0.11);
        EXPECT_NEAR(box.height(), c.height, 0.11);
        EXPECT_NEAR((box.left + box.right) / 2, 3, 0.06);
        EXPECT_NEAR((box.bottom + box.top) / 2, 1, 0.06);
    }

    // The panel always faces the viewer, even under a scale of the modelview.
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glScalef(3, 3, 3);
    drawPanel(0, 0, 1, 1);
    const Box box = coveredBox();
    EXPECT_NEAR(box.width(), 2, 0.11);
    EXPECT_NEAR(box.height(), 2, 0.11);
}

TEST_F(DrawHelpersTest, ResetAndFilterLeaveTheDocumentedState)
{
    const GLenum switches[] = {GL_BLEND, GL_LIGHTING, GL_COLOR_MATERIAL, GL_LIGHT0, GL_TEXTURE_2D, GL_FOG};
    for (GLenum s : switches)
        glEnable(s);
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    resetDrawState();
    for (GLenum s : switches)
        EXPECT_FALSE(glIsEnabled(s)) << std::hex << s;
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4), (std::vector<GLfloat>{1, 1, 1, 1}));

    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    setLinearFilter();
    GLint minFilter = 0, magFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
}

} // namespace
