// The show's desktop GL over WebGL 2: matrix stacks, immediate mode, client arrays,
// one light, wide lines and points, 1D textures, EXT framebuffers and fragment-only
// programs, emulated with generated shaders (fixed_pipeline, glsl_es) and one
// streaming vertex buffer. Needs a current WebGL 2 context before loadGlEntryPoints().
#include <GLES3/gl3.h>
#define ZUR_GL_WEB_IMPLEMENTATION
#include "gl/gl_api.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "gl/web/fixed_pipeline.h"
#include "gl/web/glsl_es.h"

// Emscripten implements it for WebGL 2; GLES 3.0 has no such entry point.
extern "C" void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);

static_assert(std::is_same_v<GLsizeiptr, long> && std::is_same_v<GLuint64, unsigned long long>,
              "gl_api_web.h declares the layer with the same types as <GLES3/gl3.h>");

using fixedgl::Matrix;
using fixedgl::Vertex;

void (*zw_glGenQueries)(GLsizei, GLuint*) = nullptr;
void (*zw_glQueryCounter)(GLuint, GLenum) = nullptr;
void (*zw_glGetQueryObjectui64v)(GLuint, GLenum, GLuint64*) = nullptr;

namespace {

// Desktop values the layer accepts beyond those in gl_api_web.h.
constexpr GLenum kClamp = 0x2900;
constexpr GLenum kTextureMatrix = 0x0BA8;
constexpr GLenum kMatrixMode = 0x0BA0;
constexpr GLenum kCurrentColour = 0x0B00;
constexpr GLenum kAmbientAndDiffuse = 0x1602;
constexpr GLenum kDepthComponent = 0x1902;
constexpr GLenum kStackOverflow = 0x0503, kStackUnderflow = 0x0504;

// One compiled and linked program with the locations of the layer's own uniforms,
// and the serial numbers of the values last given to it.
struct ProgramRecord {
    GLuint program = 0;
    bool lit = false;
    GLint modelview = -1, projection = -1, textureMatrix = -1, normalMatrix = -1;
    GLint lightPosition = -1, lightAmbient = -1, lightDiffuse = -1, lightSpecular = -1, lightEnabled = -1;
    GLint materialAmbient = -1, materialDiffuse = -1, materialSpecular = -1, materialEmission = -1;
    GLint materialShininess = -1, lightModelAmbient = -1, pointRadius = -1;
    uint64_t matrixSerial = ~0ull, textureSerial = ~0ull, lightSerial = ~0ull, uniformSerial = ~0ull;
    std::vector<GLint> userLocations; // by the show's location (an index into UserProgram::uniforms)
};

struct UserShader {
    GLenum type = 0;
    std::string source;
    GLuint shader = 0; // the rewritten ES shader
    std::string log;
};

struct UserUniform {
    std::string name;
    int kind = 0; // 0 unset, 1 int, 2 to 4: one to three floats
    GLint i = 0;
    GLfloat f[3] = {};
};

// A show program: its fragment shader, linked with an unlit and (on demand) a lit
// vertex stage; uniforms are kept here and given to whichever variant draws.
struct UserProgram {
    GLuint fragment = 0; // UserShader name
    bool linked = false;
    ProgramRecord variants[2];
    std::vector<UserUniform> uniforms;
    uint64_t uniformSerial = 1;
};

enum class Pending { none, lines, squarePoints, smoothPoints };

// The layer's whole state: GL is one state machine per context, and the show has one.
struct WebGl {
    bool ready = false;
    fixedgl::AttribState state;
    std::vector<std::pair<uint32_t, fixedgl::AttribState>> attribStack;
    fixedgl::MatrixStack modelview{32}, projection{32};
    fixedgl::MatrixStack textureStacks[fixedgl::kTextureUnits];
    uint64_t matrixSerial = 1, textureSerial = 1, lightSerial = 1;
    GLenum error = GL_NO_ERROR;

    bool inBegin = false;
    GLenum beginMode = 0;
    std::vector<Vertex> immediate;
    fixedgl::ClientArrays arrays;

    GLuint vao = 0, vbo = 0, ibo = 0, quadIbo = 0;
    size_t quadIboQuads = 0; // quads the corner pattern in quadIbo covers
    std::vector<Vertex> vertices, expanded; // expanded: four corners per quad
    std::vector<uint32_t> indices, segments;
    Pending pending = Pending::none;

    std::unordered_map<int, GLuint> vertexShaders; // by VertexKey bits
    ProgramRecord fixedPrograms[16];
    GLuint userProgram = 0;
    GLuint realProgram = 0; // the WebGL program in use
    std::unordered_map<GLuint, UserShader> shaders;
    std::unordered_map<GLuint, UserProgram> programs;
    GLuint nextShaderName = 1, nextProgramName = 1;

    GLuint bound1d[fixedgl::kTextureUnits] = {};
    GLuint realBound[fixedgl::kTextureUnits] = {};
    std::unordered_map<GLuint, std::pair<int, int>> textureSizes;
    GLuint scratchFbo = 0;

    GLuint drawFramebuffer = 0, readFramebuffer = 0, boundRenderbuffer = 0;
    // Samples of renderbuffers and of the framebuffers they are attached to: lines
    // and points rasterise differently into multisampled buffers.
    std::unordered_map<GLuint, int> renderbufferSamples, framebufferSamples;
    int canvasSamples = 0;
    GLuint pixelPackBuffer = 0;
    std::unordered_map<GLuint, std::vector<unsigned char>> bufferShadows; // for glMapBuffer
    std::unordered_map<GLuint, GLsizeiptr> bufferSizes;
    std::vector<unsigned char> pixels;
};

WebGl gl;

void setError(GLenum error)
{
    if (gl.error == GL_NO_ERROR)
        gl.error = error;
}

fixedgl::MatrixStack& currentStack()
{
    switch (gl.state.matrixMode) {
    case GL_PROJECTION:
        return gl.projection;
    case GL_TEXTURE:
        return gl.textureStacks[gl.state.activeTexture];
    default:
        return gl.modelview;
    }
}

void flush();

// The matrix an operation changes. Waiting lines and points are in clip space
// already, but they still read the texture matrix when drawn.
Matrix& currentMatrix()
{
    if (gl.state.matrixMode == GL_TEXTURE) {
        flush();
        ++gl.textureSerial;
    } else {
        ++gl.matrixSerial;
    }
    return currentStack().top();
}

// ---------------------------------------------------------------- programs

GLuint compileShader(GLenum type, const std::string& source, std::string* log)
{
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok || log) {
        char buffer[2048] = {};
        glGetShaderInfoLog(shader, sizeof buffer, nullptr, buffer);
        if (log)
            *log = buffer;
        if (!ok)
            std::fprintf(stderr, "web GL: shader does not compile: %s\n%s\n", buffer, source.c_str());
    }
    return shader;
}

GLuint vertexShaderFor(const glsles::VertexKey& key)
{
    const int bits = (key.lighting ? 1 : 0) | (key.colourMaterial ? 2 : 0);
    auto found = gl.vertexShaders.find(bits);
    if (found != gl.vertexShaders.end())
        return found->second;
    const GLuint shader = compileShader(GL_VERTEX_SHADER, glsles::vertexShader(key), nullptr);
    gl.vertexShaders[bits] = shader;
    return shader;
}

bool linkRecord(ProgramRecord& record, GLuint vertex, GLuint fragment, bool lit)
{
    record = ProgramRecord{};
    record.lit = lit;
    record.program = glCreateProgram();
    glAttachShader(record.program, vertex);
    glAttachShader(record.program, fragment);
    for (int a = 0; a < glsles::attributeCount; ++a)
        glBindAttribLocation(record.program, a, glsles::attributeName(a));
    glLinkProgram(record.program);
    GLint ok = 0;
    glGetProgramiv(record.program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char buffer[2048] = {};
        glGetProgramInfoLog(record.program, sizeof buffer, nullptr, buffer);
        std::fprintf(stderr, "web GL: program does not link: %s\n", buffer);
        return false;
    }
    const GLuint p = record.program;
    record.modelview = glGetUniformLocation(p, "zr_modelview");
    record.projection = glGetUniformLocation(p, "zr_projection");
    record.textureMatrix = glGetUniformLocation(p, "zr_textureMatrix");
    record.normalMatrix = glGetUniformLocation(p, "zr_normalMatrix");
    record.lightPosition = glGetUniformLocation(p, "zr_lightPosition");
    record.lightAmbient = glGetUniformLocation(p, "zr_lightAmbient");
    record.lightDiffuse = glGetUniformLocation(p, "zr_lightDiffuse");
    record.lightSpecular = glGetUniformLocation(p, "zr_lightSpecular");
    record.lightEnabled = glGetUniformLocation(p, "zr_lightEnabled");
    record.materialAmbient = glGetUniformLocation(p, "zr_materialAmbient");
    record.materialDiffuse = glGetUniformLocation(p, "zr_materialDiffuse");
    record.materialSpecular = glGetUniformLocation(p, "zr_materialSpecular");
    record.materialEmission = glGetUniformLocation(p, "zr_materialEmission");
    record.materialShininess = glGetUniformLocation(p, "zr_materialShininess");
    record.lightModelAmbient = glGetUniformLocation(p, "zr_lightModelAmbient");
    record.pointRadius = glGetUniformLocation(p, "zr_pointRadius");
    const GLint sampler = glGetUniformLocation(p, "zr_texture0");
    if (sampler >= 0) {
        gl.realProgram = p;
        glUseProgram(p);
        glUniform1i(sampler, 0);
    }
    return true;
}

ProgramRecord* fixedProgram(bool lit, bool textured, bool smoothPoint)
{
    const bool colourMaterial = lit && gl.state.colourMaterial;
    const int bits = (lit ? 1 : 0) | (colourMaterial ? 2 : 0) | (textured ? 4 : 0) | (smoothPoint ? 8 : 0);
    ProgramRecord& record = gl.fixedPrograms[bits];
    if (record.program == 0) {
        glsles::VertexKey vertexKey;
        vertexKey.lighting = lit;
        vertexKey.colourMaterial = colourMaterial;
        glsles::FixedFragmentKey fragmentKey;
        fragmentKey.texture2d = textured;
        fragmentKey.smoothPoint = smoothPoint;
        const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, glsles::fixedFragmentShader(fragmentKey), nullptr);
        linkRecord(record, vertexShaderFor(vertexKey), fragment, lit);
    }
    return &record;
}

ProgramRecord* userVariant(UserProgram& program, bool lit)
{
    ProgramRecord& record = program.variants[lit ? 1 : 0];
    if (record.program == 0) {
        auto shader = gl.shaders.find(program.fragment);
        if (shader == gl.shaders.end() || shader->second.shader == 0)
            return nullptr;
        glsles::VertexKey key;
        key.lighting = lit;
        key.colourMaterial = lit && gl.state.colourMaterial;
        if (!linkRecord(record, vertexShaderFor(key), shader->second.shader, lit))
            return nullptr;
    }
    return &record;
}

void uploadUserUniforms(UserProgram& program, ProgramRecord& record)
{
    if (record.uniformSerial == program.uniformSerial)
        return;
    record.uniformSerial = program.uniformSerial;
    record.userLocations.resize(program.uniforms.size(), -2);
    for (size_t k = 0; k < program.uniforms.size(); ++k) {
        const UserUniform& u = program.uniforms[k];
        if (record.userLocations[k] == -2)
            record.userLocations[k] = glGetUniformLocation(record.program, u.name.c_str());
        const GLint location = record.userLocations[k];
        if (location < 0)
            continue;
        if (u.kind == 1)
            glUniform1i(location, u.i);
        else if (u.kind == 2)
            glUniform1f(location, u.f[0]);
        else if (u.kind == 3)
            glUniform2f(location, u.f[0], u.f[1]);
        else if (u.kind == 4)
            glUniform3f(location, u.f[0], u.f[1], u.f[2]);
    }
}

// Makes the program for the next draw current and up to date. Pre-transformed
// vertices (expanded lines and points) are in clip space already and unlit.
ProgramRecord* bindProgram(bool pretransformed, bool smoothPoint)
{
    const fixedgl::AttribState& s = gl.state;
    const bool lit = s.lighting && !pretransformed;
    ProgramRecord* record = nullptr;
    UserProgram* user = nullptr;
    if (gl.userProgram != 0) {
        auto found = gl.programs.find(gl.userProgram);
        if (found == gl.programs.end() || !found->second.linked)
            return nullptr;
        user = &found->second;
        record = userVariant(*user, lit);
    } else {
        record = fixedProgram(lit, (s.texture2dUnits & 1) != 0, smoothPoint);
    }
    if (record == nullptr || record->program == 0)
        return nullptr;
    if (gl.realProgram != record->program) {
        gl.realProgram = record->program;
        glUseProgram(record->program);
    }
    const uint64_t matrixSerial = pretransformed ? 0 : gl.matrixSerial;
    if (record->matrixSerial != matrixSerial) {
        record->matrixSerial = matrixSerial;
        const Matrix identity = fixedgl::identityMatrix();
        const Matrix& mv = pretransformed ? identity : gl.modelview.top();
        glUniformMatrix4fv(record->modelview, 1, GL_FALSE, mv.data());
        glUniformMatrix4fv(record->projection, 1, GL_FALSE, pretransformed ? identity.data() : gl.projection.top().data());
        if (record->lit)
            glUniformMatrix3fv(record->normalMatrix, 1, GL_FALSE, fixedgl::normalMatrix(mv).data());
    }
    if (record->textureSerial != gl.textureSerial) {
        record->textureSerial = gl.textureSerial;
        glUniformMatrix4fv(record->textureMatrix, 1, GL_FALSE, gl.textureStacks[0].top().data());
    }
    if (record->lit && record->lightSerial != gl.lightSerial) {
        record->lightSerial = gl.lightSerial;
        glUniform4fv(record->lightPosition, 1, s.lightPosition);
        glUniform4fv(record->lightAmbient, 1, s.lightAmbient);
        glUniform4fv(record->lightDiffuse, 1, s.lightDiffuse);
        glUniform4fv(record->lightSpecular, 1, s.lightSpecular);
        glUniform1f(record->lightEnabled, s.light0 ? 1.0f : 0.0f);
        glUniform4fv(record->materialAmbient, 1, s.materialAmbient);
        glUniform4fv(record->materialDiffuse, 1, s.materialDiffuse);
        glUniform4fv(record->materialSpecular, 1, s.materialSpecular);
        glUniform4fv(record->materialEmission, 1, s.materialEmission);
        glUniform1f(record->materialShininess, s.materialShininess);
        glUniform4fv(record->lightModelAmbient, 1, s.lightModelAmbient);
    }
    if (record->pointRadius >= 0)
        glUniform1f(record->pointRadius, s.pointSize * 0.5f);
    if (user)
        uploadUserUniforms(*user, *record);
    return record;
}

// ---------------------------------------------------------------- drawing

void uploadVertices(const std::vector<Vertex>& vertices)
{
    glBindBuffer(GL_ARRAY_BUFFER, gl.vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)), vertices.data(),
                 GL_STREAM_DRAW);
}

void drawIndexed(GLenum primitive, const std::vector<Vertex>& vertices, const std::vector<uint32_t>& indices)
{
    assert(gl.ready && "loadGlEntryPoints() before drawing");
    if (indices.empty() || bindProgram(false, false) == nullptr)
        return;
    uploadVertices(vertices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)),
                 indices.data(), GL_STREAM_DRAW);
    glDrawElements(primitive, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, nullptr);
}

// Expanded lines and points wait in `expanded` until something changes the state
// they would be drawn with; the stroke pass's many strips become a few draws.
void flush()
{
    if (gl.pending == Pending::none)
        return;
    const Pending kind = gl.pending;
    gl.pending = Pending::none;
    if (gl.expanded.empty())
        return;
    assert(gl.ready && "loadGlEntryPoints() before drawing");
    if (bindProgram(true, kind == Pending::smoothPoints) != nullptr) {
        // Culling is for polygons; GL never culls lines or points.
        if (gl.state.cullFace)
            glDisable(GL_CULL_FACE);
        uploadVertices(gl.expanded);
        // Every batch uses the same corner pattern: it is uploaded only as it grows.
        const size_t quads = gl.expanded.size() / 4;
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.quadIbo);
        if (quads > gl.quadIboQuads) {
            gl.quadIboQuads = std::max(quads, 2 * gl.quadIboQuads);
            fixedgl::quadCornerIndices(gl.quadIboQuads, gl.indices);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(gl.indices.size() * sizeof(uint32_t)),
                         gl.indices.data(), GL_STATIC_DRAW);
        }
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads * 6), GL_UNSIGNED_INT, nullptr);
        if (gl.state.cullFace)
            glEnable(GL_CULL_FACE);
    }
    gl.expanded.clear();
}

bool drawingMultisampled()
{
    if (gl.drawFramebuffer == 0)
        return gl.canvasSamples > 0;
    auto found = gl.framebufferSamples.find(gl.drawFramebuffer);
    return found != gl.framebufferSamples.end() && found->second > 0;
}

void drawVertices(GLenum mode, std::vector<Vertex>& vertices)
{
    const uint32_t count = static_cast<uint32_t>(vertices.size());
    if (count == 0)
        return;
    if (!fixedgl::isValidMode(mode)) {
        setError(GL_INVALID_ENUM);
        return;
    }
    const fixedgl::AttribState& s = gl.state;
    const bool point = fixedgl::isPointMode(mode);
    const bool wideLine = fixedgl::isLineMode(mode) && s.lineWidth > 1.0f;
    if (point || wideLine) {
        const bool multisample = drawingMultisampled();
        const bool smooth = point && s.pointSmooth && !multisample;
        const Pending kind = !point ? Pending::lines : smooth ? Pending::smoothPoints : Pending::squarePoints;
        if (gl.pending != kind)
            flush();
        gl.pending = kind;
        const Matrix mvp = fixedgl::multiply(gl.projection.top(), gl.modelview.top());
        if (point) {
            fixedgl::expandPoints(vertices.data(), count, mvp, s.viewport, s.pointSize, s.pointSmooth, multisample,
                                  gl.expanded);
        } else {
            gl.segments.clear();
            fixedgl::segmentIndices(mode, count, gl.segments);
            fixedgl::expandLines(vertices.data(), count, gl.segments.data(), gl.segments.size() / 2, mvp, s.viewport,
                                 s.lineWidth, multisample, gl.expanded);
        }
        return;
    }
    flush();
    gl.indices.clear();
    if (fixedgl::isLineMode(mode)) {
        fixedgl::segmentIndices(mode, count, gl.indices);
        drawIndexed(GL_LINES, vertices, gl.indices);
    } else {
        fixedgl::triangleIndices(mode, count, gl.indices);
        drawIndexed(GL_TRIANGLES, vertices, gl.indices);
    }
}

Vertex currentVertex()
{
    Vertex v{};
    v.position[3] = 1;
    std::memcpy(v.colour, gl.state.colour, sizeof v.colour);
    std::memcpy(v.normal, gl.state.normal, sizeof v.normal);
    std::memcpy(v.texCoord, gl.state.texCoord, sizeof v.texCoord);
    return v;
}

// ---------------------------------------------------------------- textures and pixels

GLenum textureTarget(GLenum target) { return target == GL_TEXTURE_1D ? GL_TEXTURE_2D : target; }

// WebGL has one 2D target per unit where desktop GL has a 1D and a 2D one. The
// unit holds the 2D texture unless a 1D one was bound last (or alone).
void bindRealTexture(uint32_t unit, GLuint name)
{
    if (gl.realBound[unit] == name)
        return;
    gl.realBound[unit] = name;
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, name);
    if (unit != gl.state.activeTexture)
        glActiveTexture(GL_TEXTURE0 + gl.state.activeTexture);
}

// Before an upload or a parameter change: the texture the desktop call means.
void bindForTarget(GLenum target)
{
    const uint32_t unit = gl.state.activeTexture;
    bindRealTexture(unit, target == GL_TEXTURE_1D ? gl.bound1d[unit] : gl.state.boundTextures[unit]);
}

GLuint boundName(GLenum target)
{
    const uint32_t unit = gl.state.activeTexture;
    return target == GL_TEXTURE_1D ? gl.bound1d[unit] : gl.state.boundTextures[unit];
}

GLenum sizedFormat(GLint internalFormat, GLenum type)
{
    // Sized formats, so a texture matches the multisampled renderbuffer it resolves from.
    if (type == GL_UNSIGNED_BYTE && (internalFormat == 4 || internalFormat == GL_RGBA))
        return GL_RGBA8;
    if (type == GL_UNSIGNED_BYTE && (internalFormat == 3 || internalFormat == GL_RGB))
        return GL_RGB8;
    if (internalFormat == 1)
        return GL_LUMINANCE;
    if (internalFormat == 2)
        return GL_LUMINANCE_ALPHA;
    return static_cast<GLenum>(internalFormat);
}

int componentsOf(GLenum format)
{
    switch (format) {
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    case GL_RGB:
        return 3;
    case GL_LUMINANCE_ALPHA:
        return 2;
    default:
        return 1;
    }
}

// Reads RGBA bytes of the read framebuffer into gl.pixels, tightly packed.
void readRgba(GLint x, GLint y, GLsizei width, GLsizei height)
{
    gl.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (gl.pixelPackBuffer)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, gl.pixels.data());
    if (gl.pixelPackBuffer)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, gl.pixelPackBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

// Converts gl.pixels to `format` rows with the current pack alignment, into client
// memory or (with a pixel pack buffer bound) the buffer at offset `destination`.
void deliverPixels(GLsizei width, GLsizei height, GLenum format, void* destination)
{
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    const int n = componentsOf(format);
    const size_t row = (static_cast<size_t>(width) * n + alignment - 1) / alignment * alignment;
    thread_local std::vector<unsigned char> packed;
    unsigned char* out = static_cast<unsigned char*>(destination);
    if (gl.pixelPackBuffer) {
        packed.assign(row * static_cast<size_t>(height), 0);
        out = packed.data();
    }
    for (GLsizei y = 0; y < height; ++y) {
        const unsigned char* from = gl.pixels.data() + static_cast<size_t>(y) * width * 4;
        unsigned char* to = out + static_cast<size_t>(y) * row;
        for (GLsizei x = 0; x < width; ++x, from += 4, to += n) {
            if (format == GL_BGRA) {
                to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = from[3];
            } else {
                std::memcpy(to, from, static_cast<size_t>(n));
            }
        }
    }
    if (gl.pixelPackBuffer)
        glBufferSubData(GL_PIXEL_PACK_BUFFER, reinterpret_cast<GLintptr>(destination),
                        static_cast<GLsizeiptr>(packed.size()), packed.data());
}

void applyRealState()
{
    const fixedgl::AttribState& s = gl.state;
    auto enable = [](GLenum cap, bool on) { on ? glEnable(cap) : glDisable(cap); };
    enable(GL_BLEND, s.blend);
    enable(GL_DEPTH_TEST, s.depthTest);
    enable(GL_CULL_FACE, s.cullFace);
    enable(GL_SCISSOR_TEST, s.scissorTest);
    glBlendFunc(s.blendSource, s.blendDestination);
    glDepthFunc(s.depthFunc);
    glViewport(s.viewport.x, s.viewport.y, s.viewport.width, s.viewport.height);
    glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
    glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
    glClearDepthf(s.clearDepth);
    for (uint32_t unit = 0; unit < fixedgl::kTextureUnits; ++unit)
        bindRealTexture(unit, s.boundTextures[unit] ? s.boundTextures[unit] : gl.bound1d[unit]);
    glActiveTexture(GL_TEXTURE0 + s.activeTexture);
}

} // namespace

// ---------------------------------------------------------------- entry points

bool loadGlEntryPoints()
{
    if (gl.ready)
        return true;
    glGenVertexArrays(1, &gl.vao);
    glBindVertexArray(gl.vao);
    glGenBuffers(1, &gl.vbo);
    glGenBuffers(1, &gl.ibo);
    glGenBuffers(1, &gl.quadIbo);
    glBindBuffer(GL_ARRAY_BUFFER, gl.vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.ibo);
    const GLsizei stride = sizeof(Vertex);
    auto attribute = [](int index, int size, size_t offset) {
        glEnableVertexAttribArray(index);
        glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
    };
    attribute(glsles::position, 4, offsetof(Vertex, position));
    attribute(glsles::colour, 4, offsetof(Vertex, colour));
    attribute(glsles::normal, 3, offsetof(Vertex, normal));
    attribute(glsles::texCoord, 4, offsetof(Vertex, texCoord));
    attribute(glsles::corner, 2, offsetof(Vertex, corner));
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);
    gl.state.viewport = {viewport[0], viewport[1], viewport[2], viewport[3]};
    std::memcpy(gl.state.scissor, viewport, sizeof viewport);
    glGetIntegerv(GL_SAMPLES, &gl.canvasSamples);
    gl.immediate.reserve(64);
    gl.ready = true;
    return true;
}

void zw_glMatrixMode(GLenum mode)
{
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE)
        return setError(GL_INVALID_ENUM);
    gl.state.matrixMode = mode;
}

void zw_glLoadIdentity() { currentMatrix() = fixedgl::identityMatrix(); }
void zw_glLoadMatrixf(const GLfloat* m) { std::memcpy(currentMatrix().data(), m, 16 * sizeof(float)); }
void zw_glTranslatef(GLfloat x, GLfloat y, GLfloat z) { fixedgl::translate(currentMatrix(), x, y, z); }
void zw_glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { fixedgl::rotate(currentMatrix(), a, x, y, z); }
void zw_glScalef(GLfloat x, GLfloat y, GLfloat z) { fixedgl::scale(currentMatrix(), x, y, z); }

void zw_glPushMatrix()
{
    if (!currentStack().push())
        setError(kStackOverflow);
}

void zw_glPopMatrix()
{
    currentMatrix();
    if (!currentStack().pop())
        setError(kStackUnderflow);
}

void zw_gluPerspective(double fovy, double aspect, double zNear, double zFar)
{
    fixedgl::perspective(currentMatrix(), fovy, aspect, zNear, zFar);
}

void zw_gluLookAt(double ex, double ey, double ez, double cx, double cy, double cz, double ux, double uy, double uz)
{
    fixedgl::lookAt(currentMatrix(), ex, ey, ez, cx, cy, cz, ux, uy, uz);
}

void zw_glBegin(GLenum mode)
{
    if (gl.inBegin || !fixedgl::isValidMode(mode))
        return setError(GL_INVALID_OPERATION);
    gl.inBegin = true;
    gl.beginMode = mode;
    gl.immediate.clear();
}

void zw_glEnd()
{
    if (!gl.inBegin)
        return setError(GL_INVALID_OPERATION);
    gl.inBegin = false;
    drawVertices(gl.beginMode, gl.immediate);
}

void zw_glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Vertex v = currentVertex();
    v.position[0] = x, v.position[1] = y, v.position[2] = z;
    gl.immediate.push_back(v);
}

void zw_glColor3f(GLfloat r, GLfloat g, GLfloat b) { zw_glColor4f(r, g, b, 1.0f); }

void zw_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    float* c = gl.state.colour;
    c[0] = r, c[1] = g, c[2] = b, c[3] = a;
}

void zw_glTexCoord2f(GLfloat s, GLfloat t)
{
    float* c = gl.state.texCoord;
    c[0] = s, c[1] = t, c[2] = 0, c[3] = 1;
}

namespace {

fixedgl::ArrayPointer* clientArray(GLenum array)
{
    switch (array) {
    case GL_VERTEX_ARRAY:
        return &gl.arrays.position;
    case GL_COLOR_ARRAY:
        return &gl.arrays.colour;
    case GL_NORMAL_ARRAY:
        return &gl.arrays.normal;
    case GL_TEXTURE_COORD_ARRAY:
        return &gl.arrays.texCoord;
    default:
        return nullptr;
    }
}

void setPointer(fixedgl::ArrayPointer& array, GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    if (type != GL_FLOAT)
        return setError(GL_INVALID_ENUM); // the show sends floats only
    array.size = size, array.stride = stride, array.pointer = pointer;
}

} // namespace

void zw_glEnableClientState(GLenum array)
{
    if (fixedgl::ArrayPointer* a = clientArray(array))
        a->enabled = true;
}

void zw_glDisableClientState(GLenum array)
{
    if (fixedgl::ArrayPointer* a = clientArray(array))
        a->enabled = false;
}

void zw_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.position, size, type, stride, pointer);
}

void zw_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.colour, size, type, stride, pointer);
}

void zw_glNormalPointer(GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.normal, 3, type, stride, pointer);
}

void zw_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
{
    setPointer(gl.arrays.texCoord, size, type, stride, pointer);
}

void zw_glDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    if (first < 0 || count < 0)
        return setError(GL_INVALID_VALUE);
    gl.vertices.clear();
    fixedgl::fetchVertices(gl.arrays, currentVertex(), static_cast<uint32_t>(first), static_cast<uint32_t>(count),
                           gl.vertices);
    drawVertices(mode, gl.vertices);
}

void zw_glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
    if (count <= 0 || indices == nullptr)
        return;
    auto indexAt = [type, indices](GLsizei k) -> uint32_t {
        if (type == GL_UNSIGNED_INT)
            return static_cast<const uint32_t*>(indices)[k];
        if (type == GL_UNSIGNED_SHORT)
            return static_cast<const uint16_t*>(indices)[k];
        return static_cast<const uint8_t*>(indices)[k];
    };
    gl.vertices.clear();
    if (mode == GL_TRIANGLES) {
        // Meshes: fetch the range the indices span once, draw with rebased indices.
        uint32_t low = ~0u, high = 0;
        for (GLsizei k = 0; k < count; ++k) {
            low = std::min(low, indexAt(k));
            high = std::max(high, indexAt(k));
        }
        fixedgl::fetchVertices(gl.arrays, currentVertex(), low, high - low + 1, gl.vertices);
        flush();
        gl.indices.clear();
        const GLsizei whole = count - count % 3;
        for (GLsizei k = 0; k < whole; ++k)
            gl.indices.push_back(indexAt(k) - low);
        drawIndexed(GL_TRIANGLES, gl.vertices, gl.indices);
        return;
    }
    for (GLsizei k = 0; k < count; ++k)
        fixedgl::fetchVertices(gl.arrays, currentVertex(), indexAt(k), 1, gl.vertices);
    drawVertices(mode, gl.vertices);
}


namespace {

// Where an enable lives: in WebGL too (true) or only in the layer's state.
bool* enableFlag(GLenum cap, bool& real)
{
    fixedgl::AttribState& s = gl.state;
    real = false;
    switch (cap) {
    case GL_LIGHTING:
        return &s.lighting;
    case GL_LIGHT0:
        return &s.light0;
    case GL_COLOR_MATERIAL:
        return &s.colourMaterial;
    case GL_FOG:
        return &s.fog;
    case GL_POINT_SMOOTH:
        return &s.pointSmooth;
    default:
        break;
    }
    real = true;
    switch (cap) {
    case GL_BLEND:
        return &s.blend;
    case GL_DEPTH_TEST:
        return &s.depthTest;
    case GL_CULL_FACE:
        return &s.cullFace;
    case GL_SCISSOR_TEST:
        return &s.scissorTest;
    default:
        return nullptr;
    }
}

void setEnabled(GLenum cap, bool on)
{
    flush();
    if (cap == GL_TEXTURE_2D || cap == GL_TEXTURE_1D) {
        uint32_t& units = cap == GL_TEXTURE_2D ? gl.state.texture2dUnits : gl.state.texture1dUnits;
        const uint32_t bit = 1u << gl.state.activeTexture;
        units = on ? units | bit : units & ~bit;
        return;
    }
    bool real = false;
    bool* flag = enableFlag(cap, real);
    if (flag == nullptr)
        return; // desktop-only switches the show never needs (GL_NORMALIZE, ...)
    if (cap == GL_LIGHT0 && *flag != on)
        ++gl.lightSerial;
    *flag = on;
    if (real)
        on ? glEnable(cap) : glDisable(cap);
}

} // namespace

void zw_glEnable(GLenum cap) { setEnabled(cap, true); }
void zw_glDisable(GLenum cap) { setEnabled(cap, false); }

GLboolean zw_glIsEnabled(GLenum cap)
{
    if (cap == GL_TEXTURE_2D || cap == GL_TEXTURE_1D) {
        const uint32_t units = cap == GL_TEXTURE_2D ? gl.state.texture2dUnits : gl.state.texture1dUnits;
        return (units >> gl.state.activeTexture) & 1 ? GL_TRUE : GL_FALSE;
    }
    bool real = false;
    const bool* flag = enableFlag(cap, real);
    return flag && *flag ? GL_TRUE : GL_FALSE;
}

void zw_glLightfv(GLenum light, GLenum name, const GLfloat* p)
{
    if (light != GL_LIGHT0)
        return; // one light is all the show lights with
    fixedgl::AttribState& s = gl.state;
    ++gl.lightSerial;
    switch (name) {
    case GL_POSITION:
        // GL keeps the position in eye space, transformed when it is given.
        fixedgl::transform(gl.modelview.top(), p, s.lightPosition);
        break;
    case GL_AMBIENT:
        std::memcpy(s.lightAmbient, p, 4 * sizeof(float));
        break;
    case GL_DIFFUSE:
        std::memcpy(s.lightDiffuse, p, 4 * sizeof(float));
        break;
    case GL_SPECULAR:
        std::memcpy(s.lightSpecular, p, 4 * sizeof(float));
        break;
    default:
        setError(GL_INVALID_ENUM);
    }
}

void zw_glMaterialfv(GLenum, GLenum name, const GLfloat* p)
{
    // Front and back share one material: two-sided lighting is off.
    fixedgl::AttribState& s = gl.state;
    ++gl.lightSerial;
    switch (name) {
    case GL_AMBIENT:
        std::memcpy(s.materialAmbient, p, 4 * sizeof(float));
        break;
    case GL_DIFFUSE:
        std::memcpy(s.materialDiffuse, p, 4 * sizeof(float));
        break;
    case kAmbientAndDiffuse:
        std::memcpy(s.materialAmbient, p, 4 * sizeof(float));
        std::memcpy(s.materialDiffuse, p, 4 * sizeof(float));
        break;
    case GL_SPECULAR:
        std::memcpy(s.materialSpecular, p, 4 * sizeof(float));
        break;
    case GL_EMISSION:
        std::memcpy(s.materialEmission, p, 4 * sizeof(float));
        break;
    case GL_SHININESS:
        s.materialShininess = p[0];
        break;
    default:
        setError(GL_INVALID_ENUM);
    }
}

// Flat shading is recorded but drawn smooth: the show shades smoothly throughout.
void zw_glShadeModel(GLenum mode) { gl.state.shadeModel = mode; }
void zw_glHint(GLenum, GLenum) {}
void zw_glLineWidth(GLfloat width) { gl.state.lineWidth = width; }
void zw_glPointSize(GLfloat size)
{
    // Smooth points read their radius when they are drawn.
    if (gl.pending == Pending::smoothPoints && size != gl.state.pointSize)
        flush();
    gl.state.pointSize = size;
}

void zw_glPushAttrib(GLbitfield mask)
{
    if (gl.attribStack.size() >= 16)
        return setError(kStackOverflow);
    gl.attribStack.emplace_back(mask, gl.state);
}

void zw_glPopAttrib()
{
    if (gl.attribStack.empty())
        return setError(kStackUnderflow);
    flush();
    fixedgl::restoreAttribs(gl.state, gl.attribStack.back().second, gl.attribStack.back().first);
    gl.attribStack.pop_back();
    ++gl.lightSerial;
    applyRealState();
}

void zw_glBlendFunc(GLenum source, GLenum destination)
{
    flush();
    gl.state.blendSource = source, gl.state.blendDestination = destination;
    glBlendFunc(source, destination);
}

void zw_glDepthFunc(GLenum func)
{
    flush();
    gl.state.depthFunc = func;
    glDepthFunc(func);
}

void zw_glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flush();
    int* b = gl.state.scissor;
    b[0] = x, b[1] = y, b[2] = width, b[3] = height;
    glScissor(x, y, width, height);
}

void zw_glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flush();
    gl.state.viewport = {x, y, width, height};
    glViewport(x, y, width, height);
}

void zw_glClear(GLbitfield mask)
{
    flush();
    glClear(mask);
}

void zw_glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    float* c = gl.state.clearColour;
    c[0] = r, c[1] = g, c[2] = b, c[3] = a;
    glClearColor(r, g, b, a);
}

void zw_glClearDepth(double depth)
{
    gl.state.clearDepth = static_cast<float>(depth);
    glClearDepthf(static_cast<float>(depth));
}

void zw_glGetFloatv(GLenum name, GLfloat* v)
{
    const fixedgl::AttribState& s = gl.state;
    switch (name) {
    case GL_MODELVIEW_MATRIX:
        std::memcpy(v, gl.modelview.top().data(), 16 * sizeof(float));
        return;
    case GL_PROJECTION_MATRIX:
        std::memcpy(v, gl.projection.top().data(), 16 * sizeof(float));
        return;
    case kTextureMatrix:
        std::memcpy(v, gl.textureStacks[s.activeTexture].top().data(), 16 * sizeof(float));
        return;
    case GL_VIEWPORT:
        v[0] = static_cast<float>(s.viewport.x), v[1] = static_cast<float>(s.viewport.y);
        v[2] = static_cast<float>(s.viewport.width), v[3] = static_cast<float>(s.viewport.height);
        return;
    case kCurrentColour:
        std::memcpy(v, s.colour, 4 * sizeof(float));
        return;
    case GL_LINE_WIDTH:
        v[0] = s.lineWidth;
        return;
    default:
        glGetFloatv(name, v);
    }
}

void zw_glGetIntegerv(GLenum name, GLint* v)
{
    const fixedgl::AttribState& s = gl.state;
    switch (name) {
    case GL_VIEWPORT:
        v[0] = s.viewport.x, v[1] = s.viewport.y, v[2] = s.viewport.width, v[3] = s.viewport.height;
        return;
    case GL_SCISSOR_BOX:
        std::memcpy(v, s.scissor, sizeof s.scissor);
        return;
    case kMatrixMode:
        v[0] = static_cast<GLint>(s.matrixMode);
        return;
    default:
        glGetIntegerv(name, v);
    }
}

const GLubyte* zw_glGetString(GLenum name) { return glGetString(name); }

GLenum zw_glGetError()
{
    const GLenum own = gl.error;
    gl.error = GL_NO_ERROR;
    const GLenum real = glGetError();
    return own != GL_NO_ERROR ? own : real;
}

void zw_glFinish()
{
    flush();
    glFinish();
}

void zw_glFlush()
{
    flush();
    glFlush();
}

// ---------------------------------------------------------------- textures, pixels, buffers

void zw_glActiveTexture(GLenum unit)
{
    const uint32_t index = unit - GL_TEXTURE0;
    if (index >= static_cast<uint32_t>(fixedgl::kTextureUnits))
        return setError(GL_INVALID_ENUM);
    flush();
    gl.state.activeTexture = index;
    glActiveTexture(unit);
}

void zw_glGenTextures(GLsizei n, GLuint* names) { glGenTextures(n, names); }

void zw_glBindTexture(GLenum target, GLuint name)
{
    flush();
    const uint32_t unit = gl.state.activeTexture;
    if (target == GL_TEXTURE_1D) {
        gl.bound1d[unit] = name;
        bindRealTexture(unit, name != 0 ? name : gl.state.boundTextures[unit]);
    } else {
        gl.state.boundTextures[unit] = name;
        bindRealTexture(unit, name != 0 ? name : gl.bound1d[unit]);
    }
}

void zw_glTexParameteri(GLenum target, GLenum name, GLint value)
{
    flush();
    bindForTarget(target);
    if (value == static_cast<GLint>(kClamp))
        value = GL_CLAMP_TO_EDGE; // WebGL has no border to clamp towards
    glTexParameteri(textureTarget(target), name, value);
}

void zw_glTexParameterf(GLenum target, GLenum name, GLfloat value)
{
    zw_glTexParameteri(target, name, static_cast<GLint>(value));
}

void zw_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                     GLenum format, GLenum type, const void* pixels)
{
    flush();
    bindForTarget(target);
    if (level == 0)
        gl.textureSizes[boundName(target)] = {width, height};
    glTexImage2D(textureTarget(target), level, static_cast<GLint>(sizedFormat(internalFormat, type)), width, height,
                 border, format, type, pixels);
}

void zw_glTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border, GLenum format,
                     GLenum type, const void* pixels)
{
    zw_glTexImage2D(target, level, internalFormat, width, 1, border, format, type, pixels);
}

void zw_glGetTexLevelParameteriv(GLenum target, GLint level, GLenum name, GLint* value)
{
    auto found = gl.textureSizes.find(boundName(target));
    const std::pair<int, int> size = found != gl.textureSizes.end() && level == 0 ? found->second : std::pair{0, 0};
    if (name == GL_TEXTURE_WIDTH)
        *value = size.first;
    else if (name == GL_TEXTURE_HEIGHT)
        *value = target == GL_TEXTURE_1D && size.second ? 1 : size.second;
    else
        setError(GL_INVALID_ENUM);
}

void zw_glGetTexImage(GLenum target, GLint level, GLenum format, GLenum, void* pixels)
{
    // WebGL reads textures only through a framebuffer.
    flush();
    const GLuint name = boundName(target);
    auto found = gl.textureSizes.find(name);
    if (found == gl.textureSizes.end() || level != 0)
        return setError(GL_INVALID_OPERATION);
    if (gl.scratchFbo == 0)
        glGenFramebuffers(1, &gl.scratchFbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, gl.scratchFbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0);
    readRgba(0, 0, found->second.first, found->second.second);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, gl.readFramebuffer);
    const GLuint pack = gl.pixelPackBuffer;
    gl.pixelPackBuffer = 0; // client memory, whatever is bound
    if (pack)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    deliverPixels(found->second.first, found->second.second, format, pixels);
    if (pack)
        glBindBuffer(GL_PIXEL_PACK_BUFFER, pack);
    gl.pixelPackBuffer = pack;
}

void zw_glPixelStorei(GLenum name, GLint value) { glPixelStorei(name, value); }

void zw_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    flush();
    if (format == GL_RGBA && type == GL_UNSIGNED_BYTE)
        return glReadPixels(x, y, width, height, format, type, pixels);
    // WebGL reads RGBA bytes only; other layouts are converted here.
    readRgba(x, y, width, height);
    deliverPixels(width, height, format, pixels);
}

void zw_glGenBuffers(GLsizei n, GLuint* names) { glGenBuffers(n, names); }

void zw_glDeleteBuffers(GLsizei n, const GLuint* names)
{
    for (GLsizei k = 0; k < n; ++k) {
        gl.bufferShadows.erase(names[k]);
        gl.bufferSizes.erase(names[k]);
        if (names[k] == gl.pixelPackBuffer)
            gl.pixelPackBuffer = 0;
    }
    glDeleteBuffers(n, names);
}

void zw_glBindBuffer(GLenum target, GLuint name)
{
    if (target == GL_PIXEL_PACK_BUFFER)
        gl.pixelPackBuffer = name;
    glBindBuffer(target, name);
}

void zw_glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    if (target == GL_PIXEL_PACK_BUFFER)
        gl.bufferSizes[gl.pixelPackBuffer] = size;
    glBufferData(target, size, data, usage);
}

void* zw_glMapBuffer(GLenum target, GLenum)
{
    // Mapping exists only to read back: copy the buffer out and hand over the copy.
    if (target != GL_PIXEL_PACK_BUFFER || gl.pixelPackBuffer == 0) {
        setError(GL_INVALID_OPERATION);
        return nullptr;
    }
    flush();
    std::vector<unsigned char>& shadow = gl.bufferShadows[gl.pixelPackBuffer];
    shadow.resize(static_cast<size_t>(gl.bufferSizes[gl.pixelPackBuffer]));
    if (!shadow.empty())
        glGetBufferSubData(target, 0, static_cast<GLsizeiptr>(shadow.size()), shadow.data());
    return shadow.data();
}

GLboolean zw_glUnmapBuffer(GLenum) { return GL_TRUE; }

// ---------------------------------------------------------------- framebuffers

void zw_glGenFramebuffersEXT(GLsizei n, GLuint* names) { glGenFramebuffers(n, names); }

void zw_glBindFramebufferEXT(GLenum target, GLuint name)
{
    flush();
    if (target == GL_FRAMEBUFFER || target == GL_DRAW_FRAMEBUFFER)
        gl.drawFramebuffer = name;
    if (target == GL_FRAMEBUFFER || target == GL_READ_FRAMEBUFFER)
        gl.readFramebuffer = name;
    glBindFramebuffer(target, name);
}

void zw_glGenRenderbuffersEXT(GLsizei n, GLuint* names) { glGenRenderbuffers(n, names); }
void zw_glBindRenderbufferEXT(GLenum target, GLuint name)
{
    gl.boundRenderbuffer = name;
    glBindRenderbuffer(target, name);
}

void zw_glRenderbufferStorageMultisampleEXT(GLenum target, GLsizei samples, GLenum format, GLsizei width,
                                            GLsizei height)
{
    // WebGL 2 has no 32-bit integer depth; 24 bits is what desktop drivers give
    // for the asking anyway. Unsized colour formats get their sized twins.
    if (format == GL_DEPTH_COMPONENT32 || format == kDepthComponent)
        format = GL_DEPTH_COMPONENT24;
    else if (format == GL_RGBA)
        format = GL_RGBA8;
    else if (format == GL_RGB)
        format = GL_RGB8;
    GLint maxSamples = 0;
    glGetInternalformativ(GL_RENDERBUFFER, format, GL_SAMPLES, 1, &maxSamples);
    samples = std::clamp(samples, 0, std::max(maxSamples, 0));
    gl.renderbufferSamples[gl.boundRenderbuffer] = samples;
    glRenderbufferStorageMultisample(target, samples, format, width, height);
}

void zw_glFramebufferRenderbufferEXT(GLenum target, GLenum attachment, GLenum bufferTarget, GLuint buffer)
{
    if (attachment == GL_COLOR_ATTACHMENT0)
        gl.framebufferSamples[target == GL_READ_FRAMEBUFFER ? gl.readFramebuffer : gl.drawFramebuffer] =
            buffer ? gl.renderbufferSamples[buffer] : 0;
    glFramebufferRenderbuffer(target, attachment, bufferTarget, buffer);
}

void zw_glFramebufferTexture2DEXT(GLenum target, GLenum attachment, GLenum textureTarget, GLuint texture, GLint level)
{
    if (attachment == GL_COLOR_ATTACHMENT0)
        gl.framebufferSamples[target == GL_READ_FRAMEBUFFER ? gl.readFramebuffer : gl.drawFramebuffer] = 0;
    glFramebufferTexture2D(target, attachment, textureTarget, texture, level);
}

GLenum zw_glCheckFramebufferStatusEXT(GLenum target) { return glCheckFramebufferStatus(target); }

void zw_glBlitFramebufferEXT(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                             GLbitfield mask, GLenum filter)
{
    flush();
    glBlitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, mask, filter);
}

void zw_glDrawBuffer(GLenum buffer)
{
    flush();
    if (gl.drawFramebuffer == 0) {
        const GLenum back = GL_BACK; // the canvas has one colour buffer
        glDrawBuffers(1, &back);
        return;
    }
    // WebGL wants attachment i at position i, NONE before it.
    GLenum list[fixedgl::kTextureUnits];
    const uint32_t index = buffer - GL_COLOR_ATTACHMENT0;
    if (index >= static_cast<uint32_t>(fixedgl::kTextureUnits))
        return setError(GL_INVALID_ENUM);
    for (uint32_t k = 0; k < index; ++k)
        list[k] = GL_NONE;
    list[index] = buffer;
    glDrawBuffers(static_cast<GLsizei>(index + 1), list);
}

void zw_glDrawBuffers(GLsizei n, const GLenum* buffers)
{
    flush();
    glDrawBuffers(n, buffers);
}

void zw_glReadBuffer(GLenum buffer)
{
    flush();
    if (gl.readFramebuffer == 0 && (buffer == GL_FRONT || buffer == GL_BACK))
        buffer = GL_BACK;
    glReadBuffer(buffer);
}

// ---------------------------------------------------------------- fragment programs

GLuint zw_glCreateShader(GLenum type)
{
    if (type != GL_FRAGMENT_SHADER) {
        setError(GL_INVALID_ENUM); // the vertex stage is the layer's
        return 0;
    }
    const GLuint name = gl.nextShaderName++;
    gl.shaders[name].type = type;
    return name;
}

void zw_glShaderSource(GLuint shader, GLsizei count, const GLchar* const* text, const GLint* lengths)
{
    auto found = gl.shaders.find(shader);
    if (found == gl.shaders.end())
        return setError(GL_INVALID_VALUE);
    std::string& source = found->second.source;
    source.clear();
    for (GLsizei k = 0; k < count; ++k) {
        if (lengths && lengths[k] >= 0)
            source.append(text[k], static_cast<size_t>(lengths[k]));
        else
            source.append(text[k]);
    }
}

void zw_glCompileShader(GLuint shader)
{
    auto found = gl.shaders.find(shader);
    if (found == gl.shaders.end())
        return setError(GL_INVALID_VALUE);
    UserShader& s = found->second;
    if (s.shader)
        glDeleteShader(s.shader);
    s.shader = compileShader(GL_FRAGMENT_SHADER, glsles::rewriteFragmentShader(s.source), &s.log);
    GLint ok = 0;
    glGetShaderiv(s.shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(s.shader);
        s.shader = 0;
    }
}

void zw_glGetShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, GLchar* log)
{
    auto found = gl.shaders.find(shader);
    const std::string text = found != gl.shaders.end() ? found->second.log : std::string();
    const size_t n = size > 0 ? std::min(text.size(), static_cast<size_t>(size - 1)) : 0;
    if (size > 0) {
        std::memcpy(log, text.data(), n);
        log[n] = 0;
    }
    if (length)
        *length = static_cast<GLsizei>(n);
}

void zw_glGetShaderiv(GLuint shader, GLenum name, GLint* value)
{
    auto found = gl.shaders.find(shader);
    if (found == gl.shaders.end() || name != GL_COMPILE_STATUS)
        return setError(found == gl.shaders.end() ? GL_INVALID_VALUE : GL_INVALID_ENUM);
    *value = found->second.shader != 0 ? GL_TRUE : GL_FALSE;
}

void zw_glGetProgramiv(GLuint program, GLenum name, GLint* value)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end() || name != GL_LINK_STATUS)
        return setError(found == gl.programs.end() ? GL_INVALID_VALUE : GL_INVALID_ENUM);
    *value = found->second.linked ? GL_TRUE : GL_FALSE;
}

// The layer links its own vertex stage to the fragment shader: a failure shows in
// the fragment shader's log, which stands in for the program's.
void zw_glGetProgramInfoLog(GLuint program, GLsizei size, GLsizei* length, GLchar* log)
{
    auto found = gl.programs.find(program);
    zw_glGetShaderInfoLog(found != gl.programs.end() ? found->second.fragment : 0, size, length, log);
}

GLuint zw_glCreateProgram()
{
    const GLuint name = gl.nextProgramName++;
    gl.programs[name];
    return name;
}

void zw_glAttachShader(GLuint program, GLuint shader)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end())
        return setError(GL_INVALID_VALUE);
    found->second.fragment = shader;
}

void zw_glLinkProgram(GLuint program)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end())
        return setError(GL_INVALID_VALUE);
    flush();
    UserProgram& p = found->second;
    for (ProgramRecord& variant : p.variants) {
        if (variant.program) {
            if (gl.realProgram == variant.program)
                gl.realProgram = 0;
            glDeleteProgram(variant.program);
        }
        variant = ProgramRecord{};
    }
    p.linked = userVariant(p, false) != nullptr;
    ++p.uniformSerial;
}

void zw_glUseProgram(GLuint program)
{
    flush();
    gl.userProgram = program;
}

GLint zw_glGetUniformLocation(GLuint program, const GLchar* name)
{
    auto found = gl.programs.find(program);
    if (found == gl.programs.end() || !found->second.linked)
        return -1;
    UserProgram& p = found->second;
    const std::string esName = glsles::uniformName(name);
    for (size_t k = 0; k < p.uniforms.size(); ++k) {
        if (p.uniforms[k].name == esName)
            return static_cast<GLint>(k);
    }
    if (glGetUniformLocation(p.variants[0].program, esName.c_str()) < 0)
        return -1;
    p.uniforms.push_back(UserUniform{esName});
    ++p.uniformSerial;
    return static_cast<GLint>(p.uniforms.size() - 1);
}

namespace {

UserUniform* uniformAt(GLint location)
{
    auto found = gl.programs.find(gl.userProgram);
    if (location < 0 || found == gl.programs.end() || static_cast<size_t>(location) >= found->second.uniforms.size())
        return nullptr;
    flush();
    ++found->second.uniformSerial;
    return &found->second.uniforms[static_cast<size_t>(location)];
}

} // namespace

void zw_glUniform1i(GLint location, GLint x)
{
    if (UserUniform* u = uniformAt(location))
        u->kind = 1, u->i = x;
}

void zw_glUniform1f(GLint location, GLfloat x)
{
    if (UserUniform* u = uniformAt(location))
        u->kind = 2, u->f[0] = x;
}

void zw_glUniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z)
{
    if (UserUniform* u = uniformAt(location))
        u->kind = 4, u->f[0] = x, u->f[1] = y, u->f[2] = z;
}
