// Fragment-shader programs in numbered slots. Each slot holds one fragment shader
// compiled from one text file and one program linked from that shader alone;
// vertices stay on the fixed-function path. Paths and compile logs go to stdout.
#pragma once
#include <cstdint>
#include <string>

class ShaderBank {
public:
    static constexpr int kShaderSlots = 30384;
    static constexpr int kProgramSlots = 10128; // valid slots: 0 .. kProgramSlots - 1

    // Compiles the file into the slot's shader, links the slot's program from it and
    // makes it current. A missing file leaves the slot empty (program 0).
    void loadProgram(std::string path, int slot);
    // Creates and compiles the slot's fragment shader; prints the path and the log.
    void compileShader(std::string path, int slot);
    // Links the slot's program from the shader of shaderSlot and makes it current.
    void linkProgram(int slot, int shaderSlot);
    // Prints the slot's shader info log (at most 999 characters) and a line end.
    void printShaderLog(int slot);
    // The whole file as a zero-terminated buffer owned by the caller (delete[]), or
    // null with "Cannot open shader source file." on standard output.
    char* readShaderText(std::string path);

    void useProgram(int slot);
    void useNoProgram();

    // Binds texture to unit for target (GL_TEXTURE_2D or GL_TEXTURE_1D) and points
    // the sampler uniform name at that unit. The unit stays active.
    void setTextureUniform(uint32_t target, int slot, int unit, std::string name, uint32_t texture);
    // The setters write to the current program: call useProgram(slot) first.
    void setUniform1f(int slot, std::string name, float value);
    void setUniform3f(int slot, std::string name, float x, float y, float z);

    uint32_t shader(int slot) const;  // 0 for an empty or invalid slot
    uint32_t program(int slot) const; // 0 for an empty or invalid slot

    // GL object names by slot; constructing the bank makes no GL objects.
    uint32_t shaders[kShaderSlots] = {};
    uint32_t programs[kProgramSlots] = {};
};
