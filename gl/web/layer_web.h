// The web GL layer's one state record and what its files share. Each *_web.cpp
// beside it implements one concern of gl_api_web.h on this record; the layer is
// the only includer (it brings WebGL 2's own <GLES3/gl3.h> with it).
#pragma once
#include <GLES3/gl3.h>
#define ZUR_GL_WEB_IMPLEMENTATION
#include "gl/gl_api.h"

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "gl/web/fixed_pipeline.h"
#include "gl/web/glsl_es.h"

static_assert(std::is_same_v<GLsizeiptr, long> && std::is_same_v<GLuint64, unsigned long long>,
              "gl_api_web.h declares the layer with the same types as <GLES3/gl3.h>");

namespace zw {

using fixedgl::Matrix;
using fixedgl::Vertex;

// GL's errors for a full or an empty stack, matrix or attribute.
constexpr GLenum kStackOverflow = 0x0503, kStackUnderflow = 0x0504;

// One compiled and linked program with the locations of the layer's own uniforms,
// and the serial numbers of the values last given to it.
struct ProgramRecord {
    GLuint program = 0;
    bool lit = false;
    GLint modelview = -1, projection = -1, textureMatrix = -1, normalMatrix = -1;
    GLint lightPosition = -1, lightAmbient = -1, lightDiffuse = -1, lightSpecular = -1, lightEnabled = -1;
    GLint materialAmbient = -1, materialDiffuse = -1, materialSpecular = -1, materialEmission = -1;
    GLint materialShininess = -1, lightModelAmbient = -1, pointRadius = -1, viewport = -1, expand = -1;
    GLint endTexels = -1;
    int endTexelsValue = 0;
    uint64_t matrixSerial = ~0ull, projectionSerial = ~0ull, textureSerial = ~0ull, lightSerial = ~0ull;
    uint64_t uniformSerial = ~0ull;
    // The widening stage's uniforms as last given.
    float viewportValue[4] = {}, expandValue[2] = {-1, -1}, pointRadiusValue = -1;
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
// vertex stage and the widening stages of lines and points; uniforms are kept
// here and given to whichever variant draws.
struct UserProgram {
    GLuint fragment = 0; // UserShader name
    bool linked = false;
    ProgramRecord variants[4]; // unlit, lit, lines, points
    std::vector<UserUniform> uniforms;
    uint64_t uniformSerial = 1;
};

enum class Pending { none, lines, squarePoints, smoothPoints };

// What a framebuffer has attached at colour 0..7, depth and stencil: an image's
// name << 8 | level << 2 | kind (1 texture, 2 renderbuffer) each, 0 for nothing.
constexpr int kAttachmentPoints = 10;
using Attachments = std::array<uint64_t, kAttachmentPoints>;
struct KnownStatus {
    GLuint framebuffer;
    Attachments attachments;
    GLenum status;
};

// What WebGL has been told of the state the show changes most, so that calls that
// would change nothing are not made: each WebGL call crosses into JavaScript and
// on to the GPU process. Changed only through the real* helpers (layer_web.cpp).
struct RealState {
    bool blend = false, depthTest = false, cullFace = false, scissorTest = false;
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO, depthFunc = GL_LESS;
    uint32_t activeTexture = 0; // unit index
    GLuint arrayBuffer = 0, vertexArray = 0;
};

// The layer's whole state: GL is one state machine per context, and the show has one.
struct WebGl {
    bool ready = false;
    fixedgl::AttribState state;
    std::vector<std::pair<uint32_t, fixedgl::AttribState>> attribStack;
    fixedgl::MatrixStack modelview{32}, projection{32};
    fixedgl::MatrixStack textureStacks[fixedgl::kTextureUnits];
    uint64_t matrixSerial = 1, projectionSerial = 1, textureSerial = 1, lightSerial = 1;
    RealState real;
    GLenum error = GL_NO_ERROR;

    bool inBegin = false;
    GLenum beginMode = 0;
    std::vector<Vertex> immediate;
    fixedgl::ClientArrays arrays;

    // Vertices stream through a few buffers in turn, each written in place and
    // grown only when too small rather than given new storage for every draw;
    // taking turns leaves each buffer time to finish the draw that read it before
    // it is written again.
    struct StreamSlot {
        GLuint vao = 0, vbo = 0, ibo = 0; // the plain vertex stage's triangles and lines
        size_t vboBytes = 0, iboBytes = 0;
        GLuint ends = 0; // the widening stages' ends, a float texture (glsles::kEndsPerRow a row)
        int endsRows = 0;
    };
    static constexpr int kStreamSlots = 4;
    StreamSlot slots[kStreamSlots];
    int slotIndex = 0;
    // The widening stages draw quads 0 1 2, 0 2 3 by vertex number (4 a quad):
    // the numbers and the pattern are uploaded only as they grow.
    GLuint wideVao = 0, vertexNumbers = 0, quadIndices = 0;
    size_t quadCapacity = 0;
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    // Wide lines or points waiting to be drawn, with the size and rule they take.
    Pending pending = Pending::none;
    float pendingSize = 0;
    int pendingRule = 0; // zr_expand.y of the widening stage
    int pendingTexels = 3; // zr_endTexels: 2 when nothing reads texture coordinates
    std::vector<fixedgl::ClipVertex> widened;
    std::vector<float> scratch;

    std::unordered_map<int, GLuint> vertexShaders; // by VertexKey bits
    ProgramRecord fixedPrograms[48];
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
    // Completeness depends only on what is attached and on its storage, and asking
    // WebGL waits for the GPU process: the answer for an attachment set is kept
    // until the storage of one of its images changes.
    std::unordered_map<GLuint, Attachments> attachments;
    std::vector<KnownStatus> knownStatuses;
    int canvasSamples = 0;
    GLuint pixelPackBuffer = 0;
    std::unordered_map<GLuint, std::vector<unsigned char>> bufferShadows; // for glMapBuffer
    std::unordered_map<GLuint, GLsizeiptr> bufferSizes;
    std::vector<unsigned char> pixels;
};

extern WebGl gl;

// True while the scissor test is on with an empty box: draws, clears and blits
// write nothing then (the frames run masked before a late start), so the layer
// does none of their work and sends WebGL none of them.
inline bool writesNothing()
{
    return gl.state.scissorTest && (gl.state.scissor[2] <= 0 || gl.state.scissor[3] <= 0);
}

// Keeps the first error until glGetError takes it, as GL does (layer_web.cpp).
void setError(GLenum error);
// WebGL's state through its shadow (layer_web.cpp). Culling is set just before
// each draw, as the draw needs it (never for lines and points).
void realEnable(GLenum cap, bool on);
void realBlendFunc(GLenum source, GLenum destination);
void realDepthFunc(GLenum func);
void realActiveTexture(uint32_t unit);
void realBindArrayBuffer(GLuint buffer);
void realBindVertexArray(GLuint array);

// The texture unit of the widening stages' ends, past those the show binds.
constexpr uint32_t kEndsUnit = fixedgl::kTextureUnits - 1;

// The stream's next slot (layer_web.cpp), and an upload into one of its buffers,
// bound to `target`, growing it only when `bytes` do not fit.
WebGl::StreamSlot& nextStreamSlot();
void streamUpload(GLenum target, GLuint buffer, size_t& capacity, const void* data, size_t bytes);
// Draws the lines and points waiting in the batch (drawing_web.cpp).
void flush();
// The program for the next draw, current and up to date (programs_web.cpp): the
// plain vertex stage, or a widening one for the waiting lines or points.
ProgramRecord* bindProgram(glsles::Widen widen, bool smoothPoint);
// Binds a texture to a unit of WebGL's one target per unit (textures_web.cpp).
void bindRealTexture(uint32_t unit, GLuint name);
// Forgets the completeness of every attachment set holding a texture
// (kind 1) or renderbuffer (kind 2) whose storage changed (framebuffers_web.cpp).
void storageChanged(GLuint name, int kind);

} // namespace zw
