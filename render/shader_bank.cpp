// Shader bank: compile, link and use fragment programs by slot. The driver's log
// after the file path goes to the console, as the show's developers read it there;
// a file that cannot be read, or a shader that does not compile or link, is also
// named on standard error. Either way the show goes on with what the driver made.
#include "render/shader_bank.h"

#include "gl/gl_api.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "base/file_bytes.h"

namespace {

bool validSlot(int slot)
{
    if (slot >= 0 && slot < ShaderBank::kProgramSlots)
        return true;
    std::fprintf(stderr, "Shader slot %d is outside the bank (0..%d); ignored.\n", slot,
                 ShaderBank::kProgramSlots - 1);
    return false;
}

} // namespace

uint32_t ShaderBank::shader(int slot) const
{
    return slot >= 0 && slot < kProgramSlots ? shaders[slot] : 0;
}

uint32_t ShaderBank::program(int slot) const
{
    return slot >= 0 && slot < kProgramSlots ? programs[slot] : 0;
}

char* ShaderBank::readShaderText(std::string path)
{
    std::string bytes, why;
    if (!readFileBytes(path.c_str(), bytes, why)) {
        // The console line the show's developers know stays; the name and the
        // reason go to standard error.
        std::cout << "Cannot open shader source file." << std::endl;
        std::fprintf(stderr, "shader: %s %s; the program is left empty\n", path.c_str(), why.c_str());
        return nullptr;
    }
    if (bytes.empty())
        std::fprintf(stderr, "shader: %s is empty\n", path.c_str());
    char* text = new char[bytes.size() + 1];
    std::memcpy(text, bytes.data(), bytes.size());
    text[bytes.size()] = 0;
    return text;
}

void ShaderBank::printShaderLog(int slot)
{
    char log[1000];
    log[0] = 0;
    GLsizei length = 0;
    if (shader(slot) != 0)
        glGetShaderInfoLog(shader(slot), 1000, &length, log);
    std::cout << log << std::endl;
}

void ShaderBank::compileShader(std::string path, int slot)
{
    if (!validSlot(slot))
        return;
    char* text = readShaderText(path);
    if (text == nullptr) {
        // Nothing to compile: the slot stays empty rather than handing the driver a
        // null source, and the path still follows the message on the console.
        shaders[slot] = 0;
        std::cout << path << std::endl;
        return;
    }
    const GLuint name = glCreateShader(GL_FRAGMENT_SHADER);
    shaders[slot] = name;
    const GLchar* source = text;
    glShaderSource(name, 1, &source, nullptr);
    glCompileShader(name);
    delete[] text; // the driver keeps its own copy of the source
    std::cout << path << std::endl;
    printShaderLog(slot);
    GLint compiled = GL_FALSE;
    glGetShaderiv(name, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE)
        std::fprintf(stderr, "shader: %s does not compile (the driver's log is on standard output)\n", path.c_str());
}

void ShaderBank::linkProgram(int slot, int shaderSlot)
{
    if (!validSlot(slot) || !validSlot(shaderSlot))
        return;
    if (shaders[shaderSlot] == 0) {
        programs[slot] = 0;
        return;
    }
    const GLuint name = glCreateProgram();
    programs[slot] = name;
    glAttachShader(name, shaders[shaderSlot]);
    glLinkProgram(name);
    GLint linked = GL_FALSE;
    glGetProgramiv(name, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        char log[1000] = {};
        glGetProgramInfoLog(name, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader: program %d does not link: %s\n", slot, log);
    }
    useProgram(slot);
}

void ShaderBank::loadProgram(std::string path, int slot)
{
    compileShader(path, slot);
    linkProgram(slot, slot);
}

void ShaderBank::useProgram(int slot)
{
    glUseProgram(program(slot));
}

void ShaderBank::useNoProgram()
{
    glUseProgram(0);
}

void ShaderBank::setTextureUniform(uint32_t target, int slot, int unit, std::string name, uint32_t texture)
{
    const GLint location = glGetUniformLocation(program(slot), name.c_str());
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, texture);
    glUniform1i(location, unit);
}

void ShaderBank::setUniform1f(int slot, std::string name, float value)
{
    glUniform1f(glGetUniformLocation(program(slot), name.c_str()), value);
}

void ShaderBank::setUniform3f(int slot, std::string name, float x, float y, float z)
{
    glUniform3f(glGetUniformLocation(program(slot), name.c_str()), x, y, z);
}
