// Shader text of the web layer, checked by two outside compilers: Mesa (which
// takes GLSL ES 3.00 in a desktop context) and, when installed, the Khronos
// reference validator. The rewritten show programs must compile and link with
// every generated vertex stage, and draw what the desktop originals draw.
#include "gl/web/glsl_es.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/gl_test_context.h"
#include "tools/assetgen/shaders.h"

namespace {

constexpr int kSize = 64;

GLuint compile(GLenum type, const std::string& text, std::string& log)
{
    const GLuint shader = glCreateShader(type);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    char buffer[4096] = {};
    glGetShaderInfoLog(shader, sizeof buffer, nullptr, buffer);
    log = buffer;
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Links the pair with the layer's attribute locations; 0 and the log on failure.
GLuint link(GLuint vertex, GLuint fragment, std::string& log)
{
    const GLuint program = glCreateProgram();
    if (vertex)
        glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    for (int a = 0; a < glsles::attributeCount; ++a)
        glBindAttribLocation(program, a, glsles::attributeName(a));
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    char buffer[4096] = {};
    glGetProgramInfoLog(program, sizeof buffer, nullptr, buffer);
    log = buffer;
    return ok ? program : 0;
}

// The reference validator on a vertex and fragment pair (linked with -l); empty
// when it accepts them, its output otherwise.
std::string validate(const std::string& vertex, const std::string& fragment)
{
    const std::string dir = testing::TempDir();
    std::ofstream(dir + "/layer.vert") << vertex;
    std::ofstream(dir + "/layer.frag") << fragment;
    const std::string out = dir + "/layer.log";
    const std::string command =
        "glslangValidator -l '" + dir + "/layer.vert' '" + dir + "/layer.frag' > '" + out + "' 2>&1";
    if (std::system(command.c_str()) == 0)
        return {};
    std::ifstream in(out);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool haveValidator() { return std::system("command -v glslangValidator > /dev/null 2>&1") == 0; }

// Fragment programs beyond the show's: the corners of the rewriting.
const char* kEdgeCases[] = {
    // texture1D with a call among its arguments, and a bias; a sampler called texture.
    R"(#version 120
uniform sampler1D ramp;
uniform sampler2D texture;
varying vec4 unused;
void main()
{
    float s = clamp(dot(gl_TexCoord[0].xy, vec2(0.5, 0.5)), 0.0, 1.0);
    vec4 a = texture1D(ramp, max(s, 0.1), 0.0);
    vec4 b = texture2D(texture, gl_TexCoord [ 0 ].st);
    gl_FragColor = a * b * gl_Color + gl_TexCoord[1] * 0.0;
}
)",
    // Comments holding the names to rewrite stay comments; texture1D ( spaced.
    R"(// gl_FragColor texture2D( gl_TexCoord[3]
#version 110
/* texture1D(a, b) */ uniform sampler1D s1;
void main() { gl_FragData[0] = texture1D ( s1, gl_TexCoord[0].x ); gl_FragColor.a *= 0.5; }
)",
};

class GlslEsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(kSize, kSize); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override { ASSERT_TRUE(gl->ok()) << gl->error(); }
    static GlTestContext* gl;
};

GlTestContext* GlslEsTest::gl = nullptr;

TEST_F(GlslEsTest, EveryProgramCompilesAndLinksAsEs300)
{
    std::vector<std::string> fragments;
    for (const std::string& file : shaderFiles())
        fragments.push_back(glsles::rewriteFragmentShader(shaderText(file)));
    for (const char* text : kEdgeCases)
        fragments.push_back(glsles::rewriteFragmentShader(text));
    const size_t rewritten = fragments.size();
    for (int bits = 0; bits < 4; ++bits) {
        glsles::FixedFragmentKey key;
        key.texture2d = bits & 1;
        key.smoothPoint = bits & 2;
        fragments.push_back(glsles::fixedFragmentShader(key));
    }
    const bool validator = haveValidator();
    // Plain, lit, lit with colour material; the widening stages of lines and points.
    for (int bits = 0; bits < 5; ++bits) {
        glsles::VertexKey key;
        key.lighting = bits == 1 || bits == 2;
        key.colourMaterial = bits == 2;
        key.widen = bits == 3 ? glsles::Widen::lines : bits == 4 ? glsles::Widen::points : glsles::Widen::none;
        const std::string vertexText = glsles::vertexShader(key);
        std::string log;
        const GLuint vertex = compile(GL_VERTEX_SHADER, vertexText, log);
        ASSERT_NE(vertex, 0u) << log << vertexText;
        for (size_t f = 0; f < fragments.size(); ++f) {
            const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragments[f], log);
            ASSERT_NE(fragment, 0u) << log << fragments[f];
            const GLuint program = link(vertex, fragment, log);
            EXPECT_NE(program, 0u) << "fragment " << f << ", vertex " << bits << ": " << log;
            if (f < rewritten && f >= shaderFiles().size()) {
                // 1D samplers are gone from the edge cases; their comments are intact.
                const std::string& t = fragments[f];
                EXPECT_EQ(t.find("sampler1D"), std::string::npos) << t;
                EXPECT_EQ(t.find("texture1D(ramp"), std::string::npos) << t;
                if (f == rewritten - 1) {
                    EXPECT_NE(t.find("/* texture1D(a, b) */"), std::string::npos) << t;
                }
            }
            if (validator) {
                EXPECT_EQ(validate(vertexText, fragments[f]), "") << fragments[f];
            }
            glDeleteProgram(program);
            glDeleteShader(fragment);
        }
        glDeleteShader(vertex);
    }
    if (!validator)
        std::printf("glslangValidator not installed: Mesa alone checked the shaders\n");
}

// Draws a textured, coloured quad over the viewport with a desktop program under
// fixed-function vertex processing, then with the rewritten program under the
// generated vertex stage; the pictures must agree.
TEST_F(GlslEsTest, RewrittenProgramsDrawWhatTheOriginalsDraw)
{
    TestFramebuffer target(kSize, kSize);
    // A 2D texture on unit 0 and a 1D ramp (the layer's 2D of height 1 on the web
    // side) on unit 1.
    GLuint textures[3];
    glGenTextures(3, textures);
    std::vector<uint8_t> checker(16 * 16 * 3), ramp(32 * 3);
    for (size_t i = 0; i < checker.size(); ++i)
        checker[i] = static_cast<uint8_t>((i * 37 + (i / 48) * 91) % 256);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<uint8_t>(i * 8 % 256);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, checker.data());
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, textures[1]);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage1D(GL_TEXTURE_1D, 0, GL_RGB, 32, 0, GL_RGB, GL_UNSIGNED_BYTE, ramp.data());
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, textures[2]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 32, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, ramp.data());
    glActiveTexture(GL_TEXTURE0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float colours[4][4] = {{1, 0.5f, 0.2f, 1}, {0.3f, 1, 0.6f, 0.8f}, {0.9f, 0.9f, 1, 1}, {0.2f, 0.4f, 1, 0.6f}};
    std::vector<std::string> programs;
    for (const std::string& file : shaderFiles())
        programs.push_back(shaderText(file));
    programs.push_back(kEdgeCases[0]);
    for (const std::string& desktop : programs) {
        auto draw = [&](GLuint program, bool generated) {
            glUseProgram(program);
            for (const char* name : {"texture2d_1", "texture2d_blend", "texture2d_random", "texture2d_2", "texture"})
                glUniform1i(glGetUniformLocation(program, glsles::uniformName(name).c_str()), 0);
            // On the web side a 1D sampler reads the 2D ramp of height 1 on unit 2.
            glUniform1i(glGetUniformLocation(program, "ramp"), generated ? 2 : 1);
            glUniform1i(glGetUniformLocation(program, "texture1d_dsp"), generated ? 2 : 1);
            glUniform3f(glGetUniformLocation(program, "ScreenSize"), kSize, kSize, 0);
            glUniform1f(glGetUniformLocation(program, "time"), 3.5f);
            glUniform1f(glGetUniformLocation(program, "Limit"), 0.3f);
            if (generated) {
                const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
                for (const char* name : {"zr_modelview", "zr_projection", "zr_textureMatrix"})
                    glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, identity);
            }
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            glBegin(GL_TRIANGLE_FAN);
            for (int i = 0; i < 4; ++i) {
                const float uv[4] = {(corners[i][0] + 1) / 2, (corners[i][1] + 1) / 2, 0, 1};
                if (generated) {
                    glVertexAttrib4fv(glsles::colour, colours[i]);
                    glVertexAttrib4fv(glsles::texCoord, uv);
                    glVertexAttrib4f(glsles::position, corners[i][0], corners[i][1], 0, 1);
                } else {
                    glColor4fv(colours[i]);
                    glTexCoord4fv(uv);
                    glVertex2fv(corners[i]);
                }
            }
            glEnd();
            glUseProgram(0);
            return readPixelsRgba(0, 0, kSize, kSize);
        };
        std::string log;
        const GLuint desktopFragment = compile(GL_FRAGMENT_SHADER, desktop, log);
        ASSERT_NE(desktopFragment, 0u) << log;
        const GLuint desktopProgram = link(0, desktopFragment, log);
        ASSERT_NE(desktopProgram, 0u) << log;
        const GLuint vertex = compile(GL_VERTEX_SHADER, glsles::vertexShader({}), log);
        const GLuint esFragment = compile(GL_FRAGMENT_SHADER, glsles::rewriteFragmentShader(desktop), log);
        const GLuint esProgram = link(vertex, esFragment, log);
        ASSERT_NE(esProgram, 0u) << log;

        const std::vector<uint8_t> expected = draw(desktopProgram, false);
        const std::vector<uint8_t> got = draw(esProgram, true);
        int worst = 0;
        double sum = 0;
        for (size_t p = 0; p < got.size(); ++p) {
            const int d = std::abs(int(got[p]) - int(expected[p]));
            worst = std::max(worst, d);
            sum += d;
        }
        EXPECT_LE(worst, 2) << desktop;
        EXPECT_LE(sum / static_cast<double>(got.size()), 0.1) << desktop;
        for (GLuint p : {desktopProgram, esProgram})
            glDeleteProgram(p);
        for (GLuint s : {desktopFragment, vertex, esFragment})
            glDeleteShader(s);
    }
    glDeleteTextures(3, textures);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
