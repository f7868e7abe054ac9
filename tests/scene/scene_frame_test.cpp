// The scene's clock, camera, reveal window, pencil silence and timeline, run on a
// small GL context without assets (missing textures and programs draw as GL's
// defaults, which the scene tolerates by design).
#include <gtest/gtest.h>

#include "gl/gl_api.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "../support/gl_test_context.h"
#include "render/render_targets.h"
#include "scene/part_start.h"

namespace {

constexpr int kW = 64, kH = 36;

class SceneFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gl = std::make_unique<GlTestContext>(kW, kH);
        if (!gl->ok())
            GTEST_SKIP() << gl->error();
        ctx = std::make_unique<DemoContext>();
        ctx->renderWidth = ctx->windowWidth = kW;
        ctx->renderHeight = ctx->windowHeight = kH;
        for (int i = 0; i < 3; ++i)
            createTarget(*ctx, i, kW, kH, 0);
        part = std::make_unique<part_start>();
    }

    // Draws one frame of the given frame step; returns the caller's delta after it.
    double frame(double step)
    {
        double delta = step;
        FrameInput in;
        part->draw(delta, *ctx, in);
        lastInput = in;
        return delta;
    }

    std::unique_ptr<GlTestContext> gl;
    std::unique_ptr<DemoContext> ctx;
    std::unique_ptr<part_start> part;
    FrameInput lastInput;
};

std::vector<uint8_t> centrePixel()
{
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    return readPixelsRgba(kW / 2, kH / 2, 1, 1);
}

} // namespace

TEST(SceneCurves, SpeedAndDistance)
{
    EXPECT_FLOAT_EQ(sceneSpeed(0), 1.0f);
    EXPECT_FLOAT_EQ(sceneSpeed(110), 1.8f);
    EXPECT_FLOAT_EQ(sceneSpeed(160), 0.8f);
    EXPECT_NEAR(sceneSpeed(190), 2.2f, 1e-6);
    EXPECT_NEAR(sceneSpeed(230), 1.0f, 1e-6);
    EXPECT_EQ(cameraDistanceCurve(0), 0.0);
    EXPECT_NEAR(cameraDistanceCurve(100), -0.6, 1e-12); // moved in: distance 2
}

TEST(SceneCurves, DeformHopsEarlyAndWavesLate)
{
    Vec3 low = makeVec3(1, 0, 0.2f);
    Vec3 hopped = strokeDeform(low, 10, 0);
    EXPECT_EQ(hopped.x, 1);
    EXPECT_EQ(hopped.z, 0.2f);
    EXPECT_FLOAT_EQ(hopped.y, static_cast<float>(0.5 * std::trunc(2 * std::sin(20.0))));
    Vec3 high = makeVec3(1, 5, 4);
    EXPECT_EQ(strokeDeform(high, 10, 0).y, 5); // neither low nor near
    EXPECT_EQ(strokeDeform(high, 150, 0).y, 5); // the middle of the show leaves points alone
    Vec3 waved = strokeDeform(makeVec3(2, 0, 9), 230, 3);
    EXPECT_FLOAT_EQ(waved.y, static_cast<float>(std::sin(0.4 - 4 * (230 - softStart(-10))) * 0.2 * 2));

    // Bit for bit the formula, however the corners and times come: repeated and
    // new x (signed zeros and all), times that change back and forth.
    const float xs[] = {2, -2, 0.0f, -0.0f, 1e-30f, 7.25f, 2, -3.5f, 2, 1000.5f, -7.25f};
    for (double time : {230.0, 241.5, 230.0, 260.25, 260.25, 300.0}) {
        for (int round = 0; round < 3; ++round) {
            for (float x : xs) {
                const Vec3 p = makeVec3(x, 0.5f * round - 1, 0.25f * round);
                const double phase = 4 * (time - softStart(time - 240));
                const float expected = static_cast<float>(p.y + std::sin(std::fabs(0.2 * p.x) - phase) * 0.2 *
                                                                    std::fabs(p.x));
                const float got = strokeDeform(p, time, round).y;
                ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << "x " << x << " at " << time;
            }
        }
    }
}

TEST_F(SceneFrameTest, ClockCameraAndSilence)
{
    // First frame: camera at the pen focus (the origin), 5 units away, raised 0.1.
    double delta = frame(0.01);
    EXPECT_DOUBLE_EQ(delta, 0.01 * 1.1);
    EXPECT_DOUBLE_EQ(part->sceneTime, 0.011);
    EXPECT_DOUBLE_EQ(part->scaledStep, 0.011);
    const Vec3& eye = ctx->cameraEye();
    const Vec3& target = ctx->cameraTarget();
    EXPECT_EQ(eye.x, 0);
    EXPECT_FLOAT_EQ(eye.y, 0.1f);
    EXPECT_EQ(eye.z, 5);
    EXPECT_FLOAT_EQ(target.y, 0.1f);
    EXPECT_EQ(target.z, 0);
    // No stroke point drawn: the newest point is the origin, so the pencil is still
    // and the pencil sound is muted through the input record.
    EXPECT_EQ(lastInput.muteAmbient, 1);
    ASSERT_EQ(part->strokes.size(), 1u); // the joined stroke, empty here
    EXPECT_EQ(part->strokes[0].count, 0);

    // Between 182 s and 200 s the clock runs 2.2 times the frame step, without the 1.1.
    part->sceneTime = 190;
    delta = frame(0.01);
    EXPECT_NEAR(delta, 0.022, 1e-7);
    EXPECT_NEAR(part->sceneTime, 190.022, 1e-7);
}

TEST_F(SceneFrameTest, RevealWindowJumps)
{
    part->scaledStep = 0;
    part->sceneTime = 28.0;
    part->strokePass();
    EXPECT_EQ(part->revealStart, -9000.0); // t > 28 only
    EXPECT_EQ(part->revealStarted(), 0);
    part->sceneTime = 28.01;
    part->strokePass();
    EXPECT_EQ(part->revealStart, -10600.0);
    EXPECT_EQ(part->revealEnd, -1600.0);
    part->strokePass(); // once only
    EXPECT_EQ(part->revealEnd, -1600.0);
    part->sceneTime = 41.0; // t >= 41 jumps at 41 exactly
    part->strokePass();
    EXPECT_EQ(part->revealEnd, -12100.0);

    // After 154 s the window restarts at (0, 7000) whatever happened before, then drifts.
    part->sceneTime = 154.5;
    part->strokePass();
    part->scaledStep = 0.1;
    part->strokePass();
    EXPECT_NEAR(part->revealStart, 0 + 0.1 * 300 * 1.0, 1e-9);
    EXPECT_NEAR(part->revealEnd, 7000 + 0.1 * 300 * 1.0, 1e-9);
}

TEST_F(SceneFrameTest, OnlyTheEndTextRemainsAtTheEnd)
{
    part->sceneTime = 255;
    part->scaledStep = 0.01;
    part->strokePass();
    EXPECT_EQ(part->strokes.size(), 1u); // slot 9's path only
    EXPECT_EQ(part->meshSlots[9].widthA, 1.5f);
}

TEST_F(SceneFrameTest, OpeningTilesCoverThenUncover)
{
    frame(0.001);
    std::vector<uint8_t> start = centrePixel();
    EXPECT_EQ(start[0], 0);
    EXPECT_EQ(start[1], 0);
    EXPECT_EQ(start[2], 0);
    part->sceneTime = 7;
    frame(0.001);
    std::vector<uint8_t> later = centrePixel();
    EXPECT_GT(later[0] + later[1] + later[2], 300); // the (untextured, white) paper shows

    // From 271.5 s the closing fade is fully black.
    part->sceneTime = 272;
    frame(0.001);
    std::vector<uint8_t> end = centrePixel();
    EXPECT_LT(end[0] + end[1] + end[2], 3);
}

// The scene leaves out whatever lies under paper without holes, and the paper's
// blend when no hole is on screen; that rests on the material program keeping the
// paper fully opaque over a zero holes layer for every green up to
// kOpaquePaperGreen. The generated program is the one checked.
TEST(PaperCover, MaterialProgramKeepsPaperOpaqueOverNoHoles)
{
    const std::string path = std::string(ZUR_SHOW_DIR) + "/PostProcessing/f_material1.glsl";
    if (!std::ifstream(path))
        GTEST_SKIP() << "needs the generated shaders";
    GlTestContext gl(16, 16);
    if (!gl.ok())
        GTEST_SKIP() << gl.error();
    ShaderBank bank;
    testing::internal::CaptureStdout();
    bank.loadProgram(path, 1);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(bank.program(1), 0u);

    auto uniformTexture = [](uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 16; ++i)
            pixels.insert(pixels.end(), {r, g, b, a});
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return name;
    };
    const GLuint noHoles = uniformTexture(0, 0, 0, 0);
    TestFramebuffer target(16, 16);
    // Smallest alpha of the paper drawn over no holes with this green.
    auto smallestAlpha = [&](int green) {
        const GLuint paper = uniformTexture(240, static_cast<uint8_t>(green), 220, 255);
        target.bind();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_BLEND);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        bank.useProgram(1);
        bank.setTextureUniform(GL_TEXTURE_2D, 1, 0, "texture2d_1", paper);
        bank.setTextureUniform(GL_TEXTURE_2D, 1, 1, "texture2d_blend", noHoles);
        bank.setUniform3f(1, "ScreenSize", 16, 16, 0);
        glActiveTexture(GL_TEXTURE0);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex2f(-1, -1);
        glTexCoord2f(30, 0), glVertex2f(1, -1);
        glTexCoord2f(30, 30), glVertex2f(1, 1);
        glTexCoord2f(0, 30), glVertex2f(-1, 1);
        glEnd();
        bank.useNoProgram();
        const std::vector<uint8_t> rgba = readPixelsRgba(0, 0, 16, 16);
        glDeleteTextures(1, &paper);
        int smallest = 255;
        for (size_t i = 3; i < rgba.size(); i += 4)
            smallest = std::min<int>(smallest, rgba[i]);
        return smallest;
    };
    EXPECT_EQ(smallestAlpha(200), 255);
    EXPECT_EQ(smallestAlpha(kOpaquePaperGreen), 255);
    // Not a loose bound: a little more green and the fibres cut the paper.
    EXPECT_LT(smallestAlpha(kOpaquePaperGreen + 2), 255);
    glDeleteTextures(1, &noHoles);
}
