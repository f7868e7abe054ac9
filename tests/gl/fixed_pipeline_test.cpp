// The web layer's fixed-function core against Mesa's own fixed-function GL (under
// Xvfb): matrices read back, the triangles every primitive type is split into,
// wide lines and points as clip-space runs widened by the layer's vertex stage
// (compiled by Mesa as GLSL ES 3.00), and what glPopAttrib restores.
#include "gl/web/fixed_pipeline.h"
#include "gl/web/glsl_es.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/gl_test_context.h"

namespace {

constexpr int kSize = 128;

class FixedPipelineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(kSize, kSize); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        target = std::make_unique<TestFramebuffer>(kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
    }
    void TearDown() override
    {
        target.reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    static void clear()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // Clip-space runs drawn as the web layer draws them: quads by vertex number,
    // widened by the generated stage from the ends packed into a float texture
    // (`texels` a end), `rule` as its zr_expand.y; `vertexStage` may change the
    // generated stage's text first.
    static void drawWidened(const std::vector<fixedgl::ClipVertex>& ends, bool lines, float size, int rule,
                            int texels = 3, const std::function<void(std::string&)>& vertexStage = {})
    {
        glsles::VertexKey key;
        key.widen = lines ? glsles::Widen::lines : glsles::Widen::points;
        glsles::FixedFragmentKey fragmentKey;
        fragmentKey.smoothPoint = rule == 2;
        std::string vertexText = glsles::vertexShader(key);
        if (vertexStage)
            vertexStage(vertexText);
        const GLuint program = glCreateProgram();
        for (const auto& [type, text] : {std::pair{GL_VERTEX_SHADER, vertexText},
                                         std::pair{GL_FRAGMENT_SHADER, glsles::fixedFragmentShader(fragmentKey)}}) {
            const GLuint shader = glCreateShader(type);
            const char* source = text.c_str();
            glShaderSource(shader, 1, &source, nullptr);
            glCompileShader(shader);
            glAttachShader(program, shader);
            glDeleteShader(shader);
        }
        for (int a = 0; a < glsles::attributeCount; ++a)
            glBindAttribLocation(program, a, glsles::attributeName(a));
        glLinkProgram(program);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        ASSERT_TRUE(linked);
        glUseProgram(program);
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        glUniformMatrix4fv(glGetUniformLocation(program, "zr_textureMatrix"), 1, GL_FALSE, identity);
        glUniform4f(glGetUniformLocation(program, "zr_viewport"), 0, 0, kSize, kSize);
        glUniform2f(glGetUniformLocation(program, "zr_expand"), size, static_cast<float>(rule));
        glUniform1f(glGetUniformLocation(program, "zr_pointRadius"), size / 2);
        glUniform1i(glGetUniformLocation(program, "zr_ends"), 1);
        glUniform1i(glGetUniformLocation(program, "zr_endTexels"), texels);

        const size_t quads = lines ? ends.size() - 1 : ends.size();
        std::vector<float> packed;
        const size_t rows = fixedgl::packEnds(ends, texels, glsles::kEndsPerRow, packed);
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, glsles::kEndsPerRow * texels, static_cast<GLsizei>(rows), 0,
                     GL_RGBA, GL_FLOAT, packed.data());
        glActiveTexture(GL_TEXTURE0);
        std::vector<float> numbers(quads * 4);
        for (size_t n = 0; n < numbers.size(); ++n)
            numbers[n] = static_cast<float>(n);
        std::vector<uint32_t> indices;
        for (uint32_t q = 0; q < quads; ++q)
            for (uint32_t corner : {0u, 1u, 2u, 0u, 2u, 3u})
                indices.push_back(4 * q + corner);
        GLuint vao = 0, buffers[2];
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(numbers.size() * sizeof(float)), numbers.data(),
                     GL_STATIC_DRAW);
        glEnableVertexAttribArray(glsles::corner);
        glVertexAttribPointer(glsles::corner, 1, GL_FLOAT, GL_FALSE, 0, nullptr);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)),
                     indices.data(), GL_STATIC_DRAW);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
        glDeleteVertexArrays(1, &vao);
        glDeleteBuffers(2, buffers);
        glDeleteTextures(1, &texture);
        glUseProgram(0);
        glDeleteProgram(program);
    }
    // Pixels lit (red above half) in exactly one of two pictures, and in either.
    static void compareCoverage(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int& differ, int& lit)
    {
        differ = lit = 0;
        for (size_t p = 0; p < a.size(); p += 4) {
            const bool inA = a[p] > 127, inB = b[p] > 127;
            differ += inA != inB;
            lit += inA || inB;
        }
    }

    static GlTestContext* gl;
    std::unique_ptr<TestFramebuffer> target;
};

GlTestContext* FixedPipelineTest::gl = nullptr;

// One matrix operation of a table row; p holds its arguments.
struct MatrixOp {
    char kind; // T translate, R rotate, S scale, P perspective, L look-at, < push, > pop, I identity
    double p[9];
};

TEST_F(FixedPipelineTest, MatricesMatchGlReadBack)
{
    const std::vector<std::vector<MatrixOp>> table = {
        {{'R', {30, 1, 1, 0}}},
        {{'R', {-45, 0, 0, 1}}, {'R', {90, 0, -1, 0}}, {'R', {12.5, -3, 0, 0}}},
        {{'R', {17, 0.2, -0.5, 3}}},
        {{'R', {40, 0, 0, 0}}}, // no axis: GL leaves the matrix alone
        {{'T', {1, 2, 3}}, {'S', {2, -1, 0.5}}, {'R', {33, 1, 0, 0}}, {'T', {-0.25, 4, 9}}},
        {{'P', {45, 1280.0 / 720.0, 0.1, 100}}},
        {{'P', {85, 1, 0.1, 800}}, {'L', {0, 3, 10, 0, 0, 0, 0, 1, 0}}},
        {{'L', {0, 3, 0, 0, 0, 0, 0, 0, 1}}},
        {{'L', {1.5, -2, 7, 0.3, 0.2, -1, 0.1, 1, 0.05}}, {'R', {-70, 0, 1, 0}}},
        {{'L', {0, 0, 5, 0, 0, 0, 0, 0, 1}}}, // up along the view: GLU keeps a zero side
        {{'T', {1, 1, 1}}, {'<', {}}, {'R', {60, 0, 0, 1}}, {'>', {}}, {'S', {3, 3, 3}}},
        {{'<', {}}, {'<', {}}, {'T', {5, 0, 0}}, {'>', {}}, {'R', {10, 1, 0, 0}}, {'>', {}}},
    };
    for (size_t row = 0; row < table.size(); ++row) {
        fixedgl::MatrixStack stack;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (const MatrixOp& op : table[row]) {
            const double* p = op.p;
            const float f[4] = {float(p[0]), float(p[1]), float(p[2]), float(p[3])};
            switch (op.kind) {
            case 'T':
                glTranslatef(f[0], f[1], f[2]);
                fixedgl::translate(stack.top(), f[0], f[1], f[2]);
                break;
            case 'R':
                glRotatef(f[0], f[1], f[2], f[3]);
                fixedgl::rotate(stack.top(), f[0], f[1], f[2], f[3]);
                break;
            case 'S':
                glScalef(f[0], f[1], f[2]);
                fixedgl::scale(stack.top(), f[0], f[1], f[2]);
                break;
            case 'P':
                gluPerspective(p[0], p[1], p[2], p[3]);
                fixedgl::perspective(stack.top(), p[0], p[1], p[2], p[3]);
                break;
            case 'L':
                gluLookAt(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]);
                fixedgl::lookAt(stack.top(), p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]);
                break;
            case '<':
                glPushMatrix();
                stack.push();
                break;
            case '>':
                glPopMatrix();
                stack.pop();
                break;
            }
        }
        float expected[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, expected);
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(stack.top()[k], expected[k], 2e-6f * std::max(1.0f, std::fabs(expected[k])))
                << "row " << row << ", element " << k;
    }
    // The stack refuses to pop its last matrix or grow past its depth, as GL does.
    fixedgl::MatrixStack small(2);
    EXPECT_FALSE(small.pop());
    EXPECT_TRUE(small.push());
    EXPECT_FALSE(small.push());
    EXPECT_EQ(small.depth(), 2u);
}

TEST_F(FixedPipelineTest, PrimitivesSplitIntoMesasTriangles)
{
    const float palette[8][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1},
                                 {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {0.3f, 0.6f, 0.9f}};
    struct Row {
        GLenum mode;
        std::vector<std::array<float, 2>> points;
    };
    const std::vector<Row> table = {
        {GL_TRIANGLES, {{-0.9f, -0.9f}, {0.1f, -0.8f}, {-0.4f, 0.2f}, {0.2f, 0.1f}, {0.9f, 0.2f}, {0.5f, 0.9f}}},
        {GL_TRIANGLE_STRIP, {{-0.9f, -0.6f}, {-0.8f, 0.5f}, {-0.3f, -0.7f}, {-0.2f, 0.6f}, {0.4f, -0.5f}, {0.7f, 0.8f}, {0.9f, -0.9f}}},
        {GL_TRIANGLE_FAN, {{0, 0}, {0.9f, 0}, {0.6f, 0.7f}, {-0.2f, 0.9f}, {-0.8f, 0.3f}, {-0.7f, -0.6f}, {0.3f, -0.9f}}},
        {GL_POLYGON, {{0.9f, 0}, {0.6f, 0.7f}, {-0.2f, 0.9f}, {-0.8f, 0.3f}, {-0.7f, -0.6f}, {0.3f, -0.9f}}},
        {GL_QUADS, {{-0.9f, -0.9f}, {-0.1f, -0.8f}, {-0.2f, 0.1f}, {-0.8f, 0}, {0.1f, 0.1f}, {0.9f, 0.2f}, {0.8f, 0.9f}, {0.2f, 0.7f}}},
        {GL_QUAD_STRIP, {{-0.9f, -0.8f}, {-0.8f, 0.7f}, {-0.2f, -0.6f}, {-0.1f, 0.9f}, {0.5f, -0.9f}, {0.4f, 0.6f}, {0.9f, -0.3f}, {0.8f, 0.9f}}},
    };
    for (const Row& row : table) {
        const uint32_t count = static_cast<uint32_t>(row.points.size());
        clear();
        glBegin(row.mode);
        for (uint32_t i = 0; i < count; ++i) {
            glColor3fv(palette[i % 8]);
            glVertex2f(row.points[i][0], row.points[i][1]);
        }
        glEnd();
        const std::vector<uint8_t> expected = readPixelsRgba(0, 0, kSize, kSize);

        std::vector<uint32_t> indices;
        fixedgl::triangleIndices(row.mode, count, indices);
        clear();
        glBegin(GL_TRIANGLES);
        for (uint32_t i : indices) {
            glColor3fv(palette[i % 8]);
            glVertex2f(row.points[i][0], row.points[i][1]);
        }
        glEnd();
        const std::vector<uint8_t> got = readPixelsRgba(0, 0, kSize, kSize);
        int worst = 0, differing = 0;
        for (size_t p = 0; p < got.size(); ++p) {
            const int d = std::abs(int(got[p]) - int(expected[p]));
            worst = std::max(worst, d);
            differing += d > 1;
        }
        EXPECT_EQ(differing, 0) << "mode " << row.mode << ": worst difference " << worst;
    }
}

TEST_F(FixedPipelineTest, WideLinesCoverMesasPixels)
{
    // Strips in window pixels (identity matrices), one in perspective that runs
    // through the near plane, and the line modes whose runs end in gaps.
    struct Row {
        const char* what;
        GLenum mode;
        bool perspective;
        std::vector<std::array<float, 3>> points;
        int allowed; // pixels that may differ: the ends of segments, where GL's exit rule decides
    };
    const std::vector<std::array<float, 3>> zigzag = {{5, 60, 0}, {30, 100, 0}, {55, 62, 0},
                                                       {80, 110, 0}, {120, 70, 0}, {20, 12, 0}};
    const std::vector<Row> table = {
        {"horizontal", GL_LINE_STRIP, false, {{10, 20.5f, 0}, {110, 20.5f, 0}}, 4},
        {"vertical", GL_LINE_STRIP, false, {{30.5f, 8, 0}, {30.5f, 120, 0}}, 4},
        {"diagonal", GL_LINE_STRIP, false, {{5, 5, 0}, {120, 120, 0}}, 4},
        {"shallow", GL_LINE_STRIP, false, {{3.3f, 40.7f, 0}, {124.1f, 58.2f, 0}}, 4},
        {"steep", GL_LINE_STRIP, false, {{60.2f, 2.4f, 0}, {75.9f, 125.6f, 0}}, 4},
        {"zigzag", GL_LINE_STRIP, false, zigzag, 16},
        {"zigzag as a loop", GL_LINE_LOOP, false, zigzag, 20},
        {"zigzag as separate lines", GL_LINES, false, zigzag, 12},
        {"behind the eye", GL_LINE_STRIP, true, {{-2, -1, -3}, {0.5f, 0.5f, -1}, {1, 0.2f, 2}}, 10},
    };
    for (const Row& row : table) {
        fixedgl::Matrix mvp = fixedgl::identityMatrix();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        if (row.perspective) {
            gluPerspective(60, 1, 0.5, 50);
            fixedgl::perspective(mvp, 60, 1, 0.5, 50);
        }
        glMatrixMode(GL_MODELVIEW);
        std::vector<fixedgl::Vertex> vertices;
        for (const auto& p : row.points) {
            fixedgl::Vertex v{};
            v.position[0] = row.perspective ? p[0] : p[0] / kSize * 2 - 1;
            v.position[1] = row.perspective ? p[1] : p[1] / kSize * 2 - 1;
            v.position[2] = p[2];
            v.position[3] = 1;
            v.colour[0] = v.colour[1] = v.colour[2] = v.colour[3] = 1;
            vertices.push_back(v);
        }
        clear();
        glLineWidth(2);
        glBegin(row.mode);
        for (const fixedgl::Vertex& v : vertices)
            glVertex3fv(v.position);
        glEnd();
        glLineWidth(1);
        const std::vector<uint8_t> expected = readPixelsRgba(0, 0, kSize, kSize);

        // Two runs in one draw, as the layer batches them: the first one again,
        // then the row; nothing may join them.
        std::vector<fixedgl::ClipVertex> runs;
        fixedgl::appendLineRuns(row.mode, vertices.data(), static_cast<uint32_t>(vertices.size()), mvp, runs);
        fixedgl::appendLineRuns(row.mode, vertices.data(), static_cast<uint32_t>(vertices.size()), mvp, runs);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        clear();
        drawWidened(runs, true, 2, 0, (&row - table.data()) % 2 ? 2 : 3); // both layouts of the ends
        int differ = 0, lit = 0;
        compareCoverage(expected, readPixelsRgba(0, 0, kSize, kSize), differ, lit);
        EXPECT_GT(lit, 50) << row.what;
        EXPECT_LE(differ, row.allowed) << row.what << ": " << differ << " of " << lit << " pixels differ";
    }
}

TEST_F(FixedPipelineTest, SkippingQuadsThatHoldNoPixelCentreChangesNoPixel)
{
    // Short segments of every direction and of lengths from a hundredth of a pixel
    // to a few pixels, where most quads hold no pixel centre (a strip drawn small),
    // blended so that every quad drawn counts. The stage's pictures with and
    // without its skipping must be the same, byte for byte.
    std::vector<fixedgl::Vertex> strip;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / static_cast<float>(1u << 24);
    };
    float x = 20, y = 20;
    for (int k = 0; k < 4000; ++k) {
        const float length = k % 3 == 0 ? 0.01f + next() * 0.2f : next() * 3;
        const float angle = next() * 6.2831853f;
        x = std::fmod(x + std::cos(angle) * length + kSize, kSize);
        y = std::fmod(y + std::sin(angle) * length + kSize, kSize);
        fixedgl::Vertex v{};
        v.position[0] = x / kSize * 2 - 1, v.position[1] = y / kSize * 2 - 1, v.position[3] = 1;
        v.colour[0] = v.colour[1] = v.colour[2] = 1.0f / 64, v.colour[3] = 1;
        strip.push_back(v);
    }
    std::vector<fixedgl::ClipVertex> runs;
    fixedgl::appendLineRuns(GL_LINE_STRIP, strip.data(), static_cast<uint32_t>(strip.size()),
                            fixedgl::identityMatrix(), runs);
    const std::string skip = "if (zr_expand.y < 0.5) {";
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    for (float width : {1.0f, 1.5f, 2.0f, 3.0f}) {
        clear();
        drawWidened(runs, true, width, 0, 2);
        const std::vector<uint8_t> skipped = readPixelsRgba(0, 0, kSize, kSize);
        clear();
        drawWidened(runs, true, width, 0, 2, [&skip](std::string& text) {
            const size_t at = text.find(skip);
            ASSERT_NE(at, std::string::npos) << "the stage no longer skips by this test";
            text.replace(at, skip.size(), "if (false) {");
        });
        const std::vector<uint8_t> all = readPixelsRgba(0, 0, kSize, kSize);
        int lit = 0, differ = 0;
        for (size_t p = 0; p < all.size(); p += 4) {
            lit += all[p] > 0;
            differ += all[p] != skipped[p];
        }
        EXPECT_GT(lit, 500) << "width " << width;
        EXPECT_EQ(differ, 0) << "width " << width << ": " << differ << " of " << lit << " pixels differ";
    }
}

TEST_F(FixedPipelineTest, PointsCoverMesasPixels)
{
    struct Row {
        float size;
        bool smooth;
        int allowed;
    };
    const Row table[] = {{1, false, 0}, {2, false, 0}, {3, false, 0}, {4, false, 0}, {3, true, 6}, {5, true, 6}};
    for (const Row& row : table) {
        std::vector<fixedgl::Vertex> vertices;
        for (int i = 0; i < 60; ++i) {
            fixedgl::Vertex v{};
            // Positions all over the pixel: centres, edges and corners.
            const float x = 8 + (i % 10) * 11.0f + (i * 0.173f - std::floor(i * 0.173f));
            const float y = 10 + (i / 10) * 18.0f + (i * 0.311f - std::floor(i * 0.311f));
            v.position[0] = x / kSize * 2 - 1, v.position[1] = y / kSize * 2 - 1, v.position[3] = 1;
            v.colour[0] = v.colour[1] = v.colour[2] = v.colour[3] = 1;
            vertices.push_back(v);
        }
        // One outside the clip volume: GL draws no part of it.
        fixedgl::Vertex outside = vertices.back();
        outside.position[0] = 1.01f;
        vertices.push_back(outside);
        clear();
        glPointSize(row.size);
        row.smooth ? glEnable(GL_POINT_SMOOTH) : glDisable(GL_POINT_SMOOTH);
        glBegin(GL_POINTS);
        for (const fixedgl::Vertex& v : vertices)
            glVertex3fv(v.position);
        glEnd();
        glDisable(GL_POINT_SMOOTH);
        glPointSize(1);
        const std::vector<uint8_t> expected = readPixelsRgba(0, 0, kSize, kSize);

        std::vector<fixedgl::ClipVertex> points;
        fixedgl::appendPoints(vertices.data(), static_cast<uint32_t>(vertices.size()), fixedgl::identityMatrix(),
                              points);
        clear();
        drawWidened(points, false, row.size, row.smooth ? 2 : 0);
        int differ = 0, lit = 0;
        compareCoverage(expected, readPixelsRgba(0, 0, kSize, kSize), differ, lit);
        EXPECT_LE(differ, row.allowed) << "size " << row.size << (row.smooth ? " smooth" : "") << ": " << differ
                                       << " of " << lit << " pixels differ";
        EXPECT_GE(lit, 60);
    }
}

// Mesa derives its line rule from the bound framebuffer when it validates its
// rasteriser state, and after drawing into a single-sampled buffer it can keep
// the aliased rule for a multisampled one; a context of its own that draws into
// nothing else gives the rule GL defines (and Mesa shows in the show's order).
class MultisampleTest : public FixedPipelineTest {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(kSize, kSize); }
    static void TearDownTestSuite() { delete gl; }
};

TEST_F(MultisampleTest, LinesAndPointsMatchMesas)
{
    // Into a 4-sample buffer GL draws lines as rectangles and points off the pixel
    // grid, smooth ones as squares too; the resolved pictures of Mesa's primitives
    // and of the widened ones must agree.
    GLuint buffers[2], framebuffer = 0;
    glGenRenderbuffersEXT(2, buffers);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffers[0]);
    glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, 4, GL_RGBA8, kSize, kSize);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffers[1]);
    glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, 4, GL_DEPTH_COMPONENT24, kSize, kSize);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, buffers[0]);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, buffers[1]);
    ASSERT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    auto resolved = [&]() {
        glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, framebuffer);
        target->bind();
        glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, framebuffer);
        glBlitFramebufferEXT(0, 0, kSize, kSize, 0, 0, kSize, kSize, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        target->bind();
        std::vector<uint8_t> pixels = readPixelsRgba(0, 0, kSize, kSize);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        return pixels;
    };
    std::vector<fixedgl::Vertex> strip, points;
    for (int i = 0; i < 9; ++i) {
        fixedgl::Vertex v{};
        const float x = 8 + i * 14.1f, y = 64 + ((i % 2) ? 40.3f : -37.7f) * (i % 3 == 0 ? 0.3f : 1.0f);
        v.position[0] = x / kSize * 2 - 1, v.position[1] = y / kSize * 2 - 1, v.position[3] = 1;
        v.colour[0] = v.colour[1] = v.colour[2] = v.colour[3] = 1;
        strip.push_back(v);
        v.position[1] = -v.position[1] * 0.5f + 0.013f * i;
        points.push_back(v);
    }
    for (const int pass : {0, 1, 2}) {
        const bool lines = pass == 0, smooth = pass == 2;
        const std::vector<fixedgl::Vertex>& vertices = lines ? strip : points;
        clear();
        glLineWidth(2);
        glPointSize(3);
        smooth ? glEnable(GL_POINT_SMOOTH) : glDisable(GL_POINT_SMOOTH);
        glBegin(lines ? GL_LINE_STRIP : GL_POINTS);
        for (const fixedgl::Vertex& v : vertices)
            glVertex3fv(v.position);
        glEnd();
        glLineWidth(1);
        glPointSize(1);
        const std::vector<uint8_t> expected = resolved();

        std::vector<fixedgl::ClipVertex> runs;
        const uint32_t count = static_cast<uint32_t>(vertices.size());
        if (lines)
            fixedgl::appendLineRuns(GL_LINE_STRIP, vertices.data(), count, fixedgl::identityMatrix(), runs);
        else
            fixedgl::appendPoints(vertices.data(), count, fixedgl::identityMatrix(), runs);
        clear();
        drawWidened(runs, lines, lines ? 2 : 3, 1); // smooth or not: squares into samples
        const std::vector<uint8_t> got = resolved();
        double sum = 0;
        int far = 0;
        for (size_t p = 0; p < got.size(); p += 4) {
            const int d = std::abs(int(got[p]) - int(expected[p]));
            sum += d;
            far += d > 96;
        }
        EXPECT_LE(sum / (kSize * kSize), 0.2) << "pass " << pass;
        EXPECT_LE(far, 4) << "pass " << pass;
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteRenderbuffersEXT(2, buffers);
}

TEST_F(FixedPipelineTest, PopAttribRestoresGlsGroups)
{
    // For each group: change everything after the push, pop, and see what GL gives
    // back; the core must restore exactly the same fields.
    const GLbitfield groups[] = {GL_CURRENT_BIT,    GL_POINT_BIT,    GL_LINE_BIT,      GL_POLYGON_BIT,
                                 GL_LIGHTING_BIT,   GL_DEPTH_BUFFER_BIT, GL_VIEWPORT_BIT, GL_TRANSFORM_BIT,
                                 GL_ENABLE_BIT,     GL_COLOR_BUFFER_BIT, GL_SCISSOR_BIT, GL_ALL_ATTRIB_BITS};
    auto apply = [](const fixedgl::AttribState& s) {
        auto enable = [](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
        enable(GL_BLEND, s.blend), enable(GL_DEPTH_TEST, s.depthTest), enable(GL_CULL_FACE, s.cullFace);
        enable(GL_SCISSOR_TEST, s.scissorTest), enable(GL_LIGHTING, s.lighting), enable(GL_POINT_SMOOTH, s.pointSmooth);
        glColor4fv(s.colour);
        glLineWidth(s.lineWidth);
        glPointSize(s.pointSize);
        glBlendFunc(s.blendSource, s.blendDestination);
        glDepthFunc(s.depthFunc);
        glViewport(s.viewport.x, s.viewport.y, s.viewport.width, s.viewport.height);
        glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
        glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
        glMatrixMode(s.matrixMode);
    };
    auto read = [](fixedgl::AttribState& s) {
        s.blend = glIsEnabled(GL_BLEND), s.depthTest = glIsEnabled(GL_DEPTH_TEST);
        s.cullFace = glIsEnabled(GL_CULL_FACE), s.scissorTest = glIsEnabled(GL_SCISSOR_TEST);
        s.lighting = glIsEnabled(GL_LIGHTING), s.pointSmooth = glIsEnabled(GL_POINT_SMOOTH);
        glGetFloatv(GL_CURRENT_COLOR, s.colour);
        glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
        glGetFloatv(GL_POINT_SIZE, &s.pointSize);
        GLint v[4];
        glGetIntegerv(GL_BLEND_SRC, v), s.blendSource = GLuint(v[0]);
        glGetIntegerv(GL_BLEND_DST, v), s.blendDestination = GLuint(v[0]);
        glGetIntegerv(GL_DEPTH_FUNC, v), s.depthFunc = GLuint(v[0]);
        glGetIntegerv(GL_VIEWPORT, v), s.viewport = {v[0], v[1], v[2], v[3]};
        glGetIntegerv(GL_SCISSOR_BOX, s.scissor);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColour);
        glGetIntegerv(GL_MATRIX_MODE, v), s.matrixMode = GLuint(v[0]);
    };
    fixedgl::AttribState before;
    before.viewport = {0, 0, kSize, kSize};
    before.scissor[2] = before.scissor[3] = kSize;
    fixedgl::AttribState after = before;
    after.blend = after.depthTest = after.cullFace = after.scissorTest = after.lighting = after.pointSmooth = true;
    after.colour[0] = 0.25f, after.colour[3] = 0.5f;
    after.lineWidth = 2, after.pointSize = 3;
    after.blendSource = GL_SRC_ALPHA, after.blendDestination = GL_ONE_MINUS_SRC_ALPHA, after.depthFunc = GL_LEQUAL;
    after.viewport = {1, 2, 30, 40};
    after.scissor[0] = 5, after.scissor[2] = 7;
    after.clearColour[1] = 1;
    after.matrixMode = GL_PROJECTION;
    auto same = [](const fixedgl::AttribState& a, const fixedgl::AttribState& b) {
        return a.blend == b.blend && a.depthTest == b.depthTest && a.cullFace == b.cullFace &&
               a.scissorTest == b.scissorTest && a.lighting == b.lighting && a.pointSmooth == b.pointSmooth &&
               std::equal(a.colour, a.colour + 4, b.colour) && a.lineWidth == b.lineWidth &&
               a.pointSize == b.pointSize && a.blendSource == b.blendSource &&
               a.blendDestination == b.blendDestination && a.depthFunc == b.depthFunc &&
               a.viewport.x == b.viewport.x && a.viewport.y == b.viewport.y && a.viewport.width == b.viewport.width &&
               a.viewport.height == b.viewport.height && std::equal(a.scissor, a.scissor + 4, b.scissor) &&
               std::equal(a.clearColour, a.clearColour + 4, b.clearColour) && a.matrixMode == b.matrixMode;
    };
    for (GLbitfield mask : groups) {
        apply(before);
        glPushAttrib(mask);
        apply(after);
        glPopAttrib();
        fixedgl::AttribState gl = before;
        read(gl);
        fixedgl::AttribState core = after;
        fixedgl::restoreAttribs(core, before, mask);
        EXPECT_TRUE(same(core, gl)) << "group 0x" << std::hex << mask;
    }
    apply(before);
    glMatrixMode(GL_MODELVIEW);
}

} // namespace
