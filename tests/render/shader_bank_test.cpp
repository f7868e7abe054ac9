// Shader bank on a real GL context: programs built from fragment-shader files,
// the console report of paths and driver logs, uniforms and samplers by name.
#include "render/shader_bank.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include <unistd.h>

#include "tests/support/gl_test_context.h"

namespace {

namespace fs = std::filesystem;

class ShaderBankTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        bank = std::make_unique<ShaderBank>();
        folder = fs::temp_directory_path() / ("shader_bank_test_" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        fs::remove_all(folder);
    }

    std::string writeFile(const std::string& name, const std::string& text)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs action and returns what it wrote to standard output.
    template <typename Action>
    static std::string stdoutOf(Action action)
    {
        ::testing::internal::CaptureStdout();
        action();
        return ::testing::internal::GetCapturedStdout();
    }

    static GLint currentProgram()
    {
        GLint name = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &name);
        return name;
    }

    static GlTestContext* gl;
    std::unique_ptr<ShaderBank> bank;
    fs::path folder;
};
GlTestContext* ShaderBankTest::gl = nullptr;

const char* kTintShader = "uniform vec3 tint;\n"
                          "uniform float level;\n"
                          "void main() { gl_FragColor = vec4(tint * level, 1.0); }\n";

// Full-viewport quad through the fixed-function vertex path.
void drawFullQuad()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
}

TEST_F(ShaderBankTest, LoadedProgramDrawsWithItsUniforms)
{
    const std::string path = writeFile("f_tint.glsl", kTintShader);
    const std::string out = stdoutOf([&] { bank->loadProgram(path, 4); });
    EXPECT_EQ(out.rfind(path + "\n", 0), 0u) << out;
    ASSERT_NE(bank->program(4), 0u);
    EXPECT_EQ(currentProgram(), GLint(bank->program(4)));
    GLint linked = 0;
    glGetProgramiv(bank->program(4), GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);

    TestFramebuffer target(8, 8);
    bank->useProgram(4);
    bank->setUniform3f(4, "tint", 1.0f, 0.5f, 0.25f);
    bank->setUniform1f(4, "level", 1.0f);
    bank->setUniform1f(4, "noSuchUniform", 3.0f); // ignored without complaint
    drawFullQuad();
    bank->useNoProgram();
    EXPECT_EQ(currentProgram(), 0);
    const auto pixels = readPixelsRgba(4, 4, 1, 1);
    EXPECT_EQ(pixels[0], 255);
    EXPECT_NEAR(pixels[1], 128, 1);
    EXPECT_NEAR(pixels[2], 64, 1);
}

TEST_F(ShaderBankTest, BrokenShaderPrintsItsPathAndTheDriverLog)
{
    const std::string path = writeFile("f_broken.glsl", "void main() { gl_FragColor = undefinedThing; }\n");
    const std::string out = stdoutOf([&] { bank->loadProgram(path, 13); });
    ASSERT_EQ(out.rfind(path + "\n", 0), 0u) << out;
    const std::string log = out.substr(path.size() + 1);
    EXPECT_NE(log.find("undefinedThing"), std::string::npos) << log;
    EXPECT_NE(log.find("error"), std::string::npos) << log;
    EXPECT_EQ(log.back(), '\n');
    GLint compiled = 1;
    glGetShaderiv(bank->shader(13), GL_COMPILE_STATUS, &compiled);
    EXPECT_EQ(compiled, GL_FALSE);
    glGetError(); // using a program that failed to link is the driver's business
}

TEST_F(ShaderBankTest, MissingFileLeavesTheSlotEmpty)
{
    const std::string path = (folder / "f_absent.glsl").string();
    glUseProgram(0);
    const std::string out = stdoutOf([&] { bank->loadProgram(path, 1); });
    EXPECT_EQ(out, "Cannot open shader source file.\n" + path + "\n");
    EXPECT_EQ(bank->shader(1), 0u);
    EXPECT_EQ(bank->program(1), 0u);
    EXPECT_EQ(currentProgram(), 0);
    EXPECT_EQ(bank->readShaderText(path), nullptr);
    const std::string folderOut = stdoutOf([&] { EXPECT_EQ(bank->readShaderText(folder.string()), nullptr); });
    EXPECT_EQ(folderOut, "Cannot open shader source file.\n");
}

TEST_F(ShaderBankTest, TextIsPassedOnByteForByte)
{
    struct TextCase {
        const char* name;
        std::string text;
    };
    const TextCase cases[] = {
        {"empty", ""},
        {"crlf", "uniform vec3 tint;\r\nvoid main() {\r\n gl_FragColor = vec4(tint, 1.0);\r\n}\r\n"},
        {"binary", std::string("a\0b\x01\xff", 5)},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeFile(c.name, c.text);
        std::unique_ptr<char[]> text(bank->readShaderText(path));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text.get(), c.text.size()), c.text);
        EXPECT_EQ(text[c.text.size()], 0);
    }

    // Windows line ends compile as they are; an empty file still gets the path and a log.
    const std::string crlf = (folder / "crlf").string();
    const std::string out = stdoutOf([&] { bank->loadProgram(crlf, 2); });
    GLint compiled = 0;
    glGetShaderiv(bank->shader(2), GL_COMPILE_STATUS, &compiled);
    EXPECT_EQ(compiled, GL_TRUE) << out;
    const std::string empty = (folder / "empty").string();
    const std::string emptyOut = stdoutOf([&] { bank->compileShader(empty, 3); });
    EXPECT_EQ(emptyOut.rfind(empty + "\n", 0), 0u);
    EXPECT_NE(bank->shader(3), 0u);
}

TEST_F(ShaderBankTest, SecondLoadIntoASlotReplacesIt)
{
    const std::string path = writeFile("f_tint.glsl", kTintShader);
    stdoutOf([&] { bank->loadProgram(path, 13); });
    const GLuint firstShader = bank->shader(13), firstProgram = bank->program(13);
    stdoutOf([&] { bank->loadProgram(path, 13); });
    EXPECT_NE(bank->shader(13), firstShader);
    EXPECT_NE(bank->program(13), firstProgram);
    EXPECT_EQ(currentProgram(), GLint(bank->program(13)));
}

TEST_F(ShaderBankTest, SamplerPointsAtTheChosenUnit)
{
    const std::string path = writeFile("f_sample.glsl",
                                       "uniform sampler2D texture2d_1;\n"
                                       "void main() { gl_FragColor = texture2D(texture2d_1, vec2(0.5)); }\n");
    stdoutOf([&] { bank->loadProgram(path, 5); });

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const uint8_t texel[4] = {10, 200, 30, 255};
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glBindTexture(GL_TEXTURE_2D, 0);

    bank->useProgram(5);
    bank->setTextureUniform(GL_TEXTURE_2D, 5, 4, "texture2d_1", texture);
    GLint active = 0, bound = 0, unit = -1;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetUniformiv(bank->program(5), glGetUniformLocation(bank->program(5), "texture2d_1"), &unit);
    EXPECT_EQ(active, GLint(GL_TEXTURE4));
    EXPECT_EQ(bound, GLint(texture));
    EXPECT_EQ(unit, 4);

    TestFramebuffer target(4, 4);
    drawFullQuad();
    bank->useNoProgram();
    const auto pixels = readPixelsRgba(1, 1, 1, 1);
    EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.end()), (std::vector<uint8_t>{10, 200, 30, 255}));
    glDeleteTextures(1, &texture);
}

TEST_F(ShaderBankTest, SlotsOutsideTheBankAreRefused)
{
    const std::string path = writeFile("f_tint.glsl", kTintShader);
    ::testing::internal::CaptureStderr();
    stdoutOf([&] { bank->loadProgram(path, ShaderBank::kProgramSlots); });
    stdoutOf([&] { bank->loadProgram(path, -1); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("outside the bank"), std::string::npos);
    EXPECT_EQ(bank->program(ShaderBank::kProgramSlots), 0u);
}

} // namespace
