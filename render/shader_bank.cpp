// Shader bank: compile, link and use fragment programs by slot. Compile and link
// status are not examined: the driver's log after the file path is the report, as
// the show's developers read it on the console.
#include "render/shader_bank.h"

#include "render/gl_api.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>

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
    // A folder opens like a file here but has no bytes to give.
    std::error_code ignored;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open() || std::filesystem::is_directory(path, ignored)) {
        std::cout << "Cannot open shader source file." << std::endl;
        return nullptr;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    const std::streamoff size = end > 0 ? end : 0;
    file.seekg(0, std::ios::beg);

    char* text = nullptr;
    std::streamsize got = 0;
    try {
        text = new char[static_cast<size_t>(size) + 1];
        file.read(text, size);
        got = file.gcount();
    } catch (const std::exception& error) {
        std::cout << error.what() << std::endl;
    }
    if (text == nullptr)
        text = new char[1];
    // Terminate after the bytes that really arrived, so a short read never hands
    // uninitialised memory to the compiler.
    text[got] = 0;
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
