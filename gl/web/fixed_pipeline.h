// The fixed-function GL the show draws with, as plain data and arithmetic: matrix
// stacks, the state glPushAttrib saves, assembly of every primitive type into
// triangles, and wide lines and points as runs of clip-space vertices for the
// vertex stage that widens them (glsl_es.h). No GL here; the web layer (the
// *_web.cpp files beside it) feeds its results to WebGL 2.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fixedgl {

// Column-major like GL: element (row r, column c) at 4c + r.
using Matrix = std::array<float, 16>;

Matrix identityMatrix();
Matrix multiply(const Matrix& a, const Matrix& b); // a * b, in float as GL does
void translate(Matrix& m, float x, float y, float z);
void rotate(Matrix& m, float angleDegrees, float x, float y, float z);
void scale(Matrix& m, float x, float y, float z);
// GLU builds these in double and hands them to glMultMatrixd; so do we.
void perspective(Matrix& m, double fovyDegrees, double aspect, double zNear, double zFar);
void lookAt(Matrix& m, double ex, double ey, double ez, double cx, double cy, double cz, double ux, double uy,
            double uz);
// Transpose of the inverse of the upper 3 x 3 block (column-major), for normals.
std::array<float, 9> normalMatrix(const Matrix& m);
void transform(const Matrix& m, const float in[4], float out[4]);

// A stack whose top is the current matrix. Over- and underflow leave it unchanged
// and return false, as GL raises an error and ignores the call.
class MatrixStack {
public:
    explicit MatrixStack(size_t maxDepth = 32) : maxDepth_(maxDepth), entries_(1, identityMatrix()) {}
    Matrix& top() { return entries_.back(); }
    const Matrix& top() const { return entries_.back(); }
    bool push();
    bool pop();
    size_t depth() const { return entries_.size(); }

private:
    size_t maxDepth_;
    std::vector<Matrix> entries_;
};

// GL's primitive modes, with GL's values.
enum Mode : uint32_t {
    points = 0, lines, lineLoop, lineStrip, triangles, triangleStrip, triangleFan, quads, quadStrip, polygon
};
bool isPointMode(uint32_t mode);
bool isLineMode(uint32_t mode);
bool isValidMode(uint32_t mode);

// One vertex as the vertex stage sees it.
struct Vertex {
    float position[4];
    float colour[4];
    float normal[3];
    float texCoord[4];
};

// Indices of a triangle list (relative to the run's first vertex) for `count`
// vertices of a triangle mode; quads split as Mesa splits them, so colours
// interpolate across the same diagonal. Trailing incomplete primitives are dropped.
void triangleIndices(uint32_t mode, uint32_t count, std::vector<uint32_t>& out);
// Index pairs, one per segment, for a line mode.
void segmentIndices(uint32_t mode, uint32_t count, std::vector<uint32_t>& out);

struct Viewport {
    int x = 0, y = 0, width = 1, height = 1;
};

// One end of a wide line, or a point, as the widening vertex stage reads it: in
// clip space, with its colour and texture coordinates.
struct ClipVertex {
    float position[4];
    float colour[4];
    float texCoord[4];
};

// Wide lines and points are drawn as one quad per segment or point, widened in the
// vertex stage (glsl_es.h: the rules GL rasterises them by), from these runs.
// appendLineRuns appends the vertices of a line primitive in clip space so that
// every two neighbours make a segment: a strip as it is, a loop closed on its
// first vertex, each pair of GL_LINES on its own; each run ends with a gap vertex
// of all zeros, which no segment survives (its w is 0), so runs share one draw.
void appendLineRuns(uint32_t mode, const Vertex* vertices, uint32_t count, const Matrix& mvp,
                    std::vector<ClipVertex>& out);
// Each point in clip space, one quad each.
void appendPoints(const Vertex* vertices, uint32_t count, const Matrix& mvp, std::vector<ClipVertex>& out);
// The ends as the widening stage reads them from its texture: `endsPerRow` ends a
// row, each as three texels (position, colour, texture coordinates) or, when
// nothing reads the coordinates, two; the last row filled with zeros. Replaces
// the contents of `out`; returns the rows.
size_t packEnds(const std::vector<ClipVertex>& ends, int texelsPerEnd, int endsPerRow, std::vector<float>& out);

// Client-side arrays (float components only, which is all the show sends).
struct ArrayPointer {
    bool enabled = false;
    int size = 4;
    int stride = 0; // bytes; 0 means tightly packed
    const void* pointer = nullptr;
};
struct ClientArrays {
    ArrayPointer position, colour, normal, texCoord;
};
// Vertices [first, first + count) of the arrays; attributes without an enabled
// array take the current ones.
void fetchVertices(const ClientArrays& arrays, const Vertex& current, uint32_t first, uint32_t count,
                   std::vector<Vertex>& out);

// The state glPushAttrib saves and glPopAttrib restores, with GL's groups.
enum AttribBits : uint32_t {
    currentBit = 0x1, pointBit = 0x2, lineBit = 0x4, polygonBit = 0x8, lightingBit = 0x40, fogBit = 0x80,
    depthBufferBit = 0x100, viewportBit = 0x800, transformBit = 0x1000, enableBit = 0x2000,
    colorBufferBit = 0x4000, scissorBit = 0x80000, textureBit = 0x40000
};
constexpr int kTextureUnits = 8;
struct AttribState {
    // enables
    bool lighting = false, light0 = false, colourMaterial = false, fog = false, pointSmooth = false;
    bool blend = false, depthTest = false, cullFace = false, scissorTest = false;
    uint32_t texture2dUnits = 0, texture1dUnits = 0; // one bit per unit
    // current
    float colour[4] = {1, 1, 1, 1};
    float normal[3] = {0, 0, 1};
    float texCoord[4] = {0, 0, 0, 1};
    // rasterisation, fragments
    float lineWidth = 1, pointSize = 1;
    uint32_t blendSource = 1, blendDestination = 0, depthFunc = 0x0201; // GL_ONE, GL_ZERO, GL_LESS
    uint32_t shadeModel = 0x1D01;                                       // GL_SMOOTH
    Viewport viewport;
    int scissor[4] = {0, 0, 1, 1};
    float clearColour[4] = {0, 0, 0, 0};
    float clearDepth = 1;
    // lighting (light 0, position in eye space as GL stores it)
    float lightAmbient[4] = {0, 0, 0, 1}, lightDiffuse[4] = {1, 1, 1, 1}, lightSpecular[4] = {1, 1, 1, 1};
    float lightPosition[4] = {0, 0, 1, 0};
    float materialAmbient[4] = {0.2f, 0.2f, 0.2f, 1}, materialDiffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    float materialSpecular[4] = {0, 0, 0, 1}, materialEmission[4] = {0, 0, 0, 1};
    float materialShininess = 0;
    float lightModelAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
    // transform, texture
    uint32_t matrixMode = 0x1700; // GL_MODELVIEW
    uint32_t activeTexture = 0;   // unit index
    uint32_t boundTextures[kTextureUnits] = {};
};
// Copies the groups in `mask` from `saved` into `state`.
void restoreAttribs(AttribState& state, const AttribState& saved, uint32_t mask);

} // namespace fixedgl
