// The GL side of the geometry code on a real context (Mesa under Xvfb): drawMesh
// draws whole meshes or single objects from client-side arrays, and the stroke
// generator's wrapper reads the modelview matrix that the caller set up.
#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "formats/obj_mesh.h"
#include "render/obj_mesh_draw.h"
#include "scene/poly_mesh.h"
#include "tests/support/gl_test_context.h"

namespace {

constexpr int kSize = 64;  // the view spans -4 .. 4 units: 8 pixels per unit

// Object 0 is a square on the left, object 1 a square on the right; the triangle
// before the first "o" belongs to no object.
const char* kTwoSquares =
    "v -3 -3 0\nv -3 -2 0\nv -2 -3 0\n"
    "f 1 3 2\n"
    "o left\nv -3 -1 0\nv -1 -1 0\nv -1 1 0\nv -3 1 0\nf 4 5 6 7\n"
    "o right\nv 1 -1 0\nv 3 -1 0\nv 3 1 0\nv 1 1 0\nf -4 -3 -2 -1\n";

class MeshDrawTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        target = std::make_unique<TestFramebuffer>(kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4, 4, -4, 4, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override
    {
        target.reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Which of the three regions (stray triangle, left, right) got pixels.
    std::string drawn(const ObjMesh& mesh, int objectIndex)
    {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        drawMesh(mesh, objectIndex);
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        auto lit = [](int px, int py) { return readPixelsRgba(px, py, 1, 1)[0] != 0; };
        std::string out;
        out += lit(5, 5) ? "T" : "-";     // (-3.4, -3.4)
        out += lit(16, 32) ? "L" : "-";   // (-2, 0)
        out += lit(48, 32) ? "R" : "-";   // (2, 0)
        out += lit(32, 32) ? "?" : "";    // the gap between them stays empty
        return out;
    }

    static GlTestContext* gl;
    std::unique_ptr<TestFramebuffer> target;
};
GlTestContext* MeshDrawTest::gl = nullptr;

} // namespace

TEST_F(MeshDrawTest, ObjectsDrawTogetherOrAlone)
{
    ObjMesh mesh;
    EXPECT_EQ(drawn(mesh, -1), "---");  // not loaded
    mesh.loadFromMemory(kTwoSquares, std::strlen(kTwoSquares), false);
    ASSERT_EQ(mesh.objectStarts, (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(drawn(mesh, -1), "-LR");
    EXPECT_EQ(drawn(mesh, -7), "-LR");
    EXPECT_EQ(drawn(mesh, 0), "-L-");
    EXPECT_EQ(drawn(mesh, 1), "--R");
    EXPECT_EQ(drawn(mesh, 2), "---");
    EXPECT_EQ(drawn(mesh, 5), "---");

    std::string noObjects = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    ObjMesh plain;
    plain.loadFromMemory(noObjects.data(), noObjects.size(), false);
    EXPECT_EQ(drawn(plain, -1), "---");
    EXPECT_EQ(drawn(plain, 0), "---");
}

TEST_F(MeshDrawTest, StrokeWrapperReadsTheModelviewMatrix)
{
    PolyMesh mesh;
    Polygon quad;
    quad.points = {Vec3{1, 1, 0, 0}, Vec3{1, 0, 1, 0}, Vec3{1, -1, 0, 0}, Vec3{1, 0, -1, 0}};
    mesh.addPolygon(quad);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.5f, -0.25f, -3.0f);
    glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
    glScalef(0.5f, 0.5f, 0.5f);
    std::vector<PathSpline> fromGl;
    EXPECT_EQ(mesh.generateStrokes(2.0, fromGl, true, 1.0, 0, 0.0, 1.0), 1);

    // The same matrix built by hand, column-major.
    const float c = std::cos(30.0f * float(M_PI) / 180.0f) * 0.5f, s = std::sin(30.0f * float(M_PI) / 180.0f) * 0.5f;
    const float byHand[16] = {c, 0, -s, 0, 0, 0.5f, 0, 0, s, 0, c, 0, 0.5f, -0.25f, -3.0f, 1};
    std::vector<PathSpline> fromCore;
    mesh.generateStrokesWithMatrix(byHand, 2.0, fromCore, true, 1.0, 0, 0.0, 1.0);
    ASSERT_EQ(fromGl[0].count, fromCore[0].count);
    ASSERT_GT(fromGl[0].count, 0);
    for (int i = 0; i < fromGl[0].count; ++i) {
        EXPECT_NEAR(fromGl[0].points[i].x, fromCore[0].points[i].x, 1e-5);
        EXPECT_NEAR(fromGl[0].points[i].y, fromCore[0].points[i].y, 1e-5);
    }
}
