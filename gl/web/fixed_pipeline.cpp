// Fixed-function GL arithmetic. The matrix operations repeat Mesa's float order of
// operations (and GLU's double-then-float builders) so that matrices read back
// from the web layer equal those a desktop driver reports, give or take rounding.
#include "gl/web/fixed_pipeline.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace fixedgl {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

// ---------------------------------------------------------------- matrices

Matrix identityMatrix() { return Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix p;
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a[i], ai1 = a[4 + i], ai2 = a[8 + i], ai3 = a[12 + i];
        for (int j = 0; j < 4; ++j)
            p[4 * j + i] = ai0 * b[4 * j] + ai1 * b[4 * j + 1] + ai2 * b[4 * j + 2] + ai3 * b[4 * j + 3];
    }
    return p;
}

void translate(Matrix& m, float x, float y, float z)
{
    for (int r = 0; r < 4; ++r)
        m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
}

void scale(Matrix& m, float x, float y, float z)
{
    for (int r = 0; r < 4; ++r) {
        m[r] *= x;
        m[4 + r] *= y;
        m[8 + r] *= z;
    }
}

void rotate(Matrix& m, float angleDegrees, float x, float y, float z)
{
    const float s = static_cast<float>(std::sin(angleDegrees * kPi / 180.0));
    const float c = static_cast<float>(std::cos(angleDegrees * kPi / 180.0));
    Matrix r = identityMatrix();
    auto at = [&r](int row, int col) -> float& { return r[4 * col + row]; };
    // Rotations about one axis are built directly, as Mesa does; they are most of
    // the show's and avoid the rounding of the general formula.
    if (x == 0 && y == 0 && z != 0) {
        at(0, 0) = c, at(1, 1) = c;
        at(0, 1) = z < 0 ? s : -s;
        at(1, 0) = z < 0 ? -s : s;
    } else if (x == 0 && z == 0 && y != 0) {
        at(0, 0) = c, at(2, 2) = c;
        at(0, 2) = y < 0 ? -s : s;
        at(2, 0) = y < 0 ? s : -s;
    } else if (y == 0 && z == 0 && x != 0) {
        at(1, 1) = c, at(2, 2) = c;
        at(1, 2) = x < 0 ? s : -s;
        at(2, 1) = x < 0 ? -s : s;
    } else {
        const float mag = std::sqrt(x * x + y * y + z * z);
        if (mag <= 1.0e-4f)
            return;
        x /= mag, y /= mag, z /= mag;
        const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, yz = y * z, zx = z * x;
        const float xs = x * s, ys = y * s, zs = z * s, one_c = 1.0f - c;
        at(0, 0) = (one_c * xx) + c, at(0, 1) = (one_c * xy) - zs, at(0, 2) = (one_c * zx) + ys;
        at(1, 0) = (one_c * xy) + zs, at(1, 1) = (one_c * yy) + c, at(1, 2) = (one_c * yz) - xs;
        at(2, 0) = (one_c * zx) - ys, at(2, 1) = (one_c * yz) + xs, at(2, 2) = (one_c * zz) + c;
    }
    m = multiply(m, r);
}

void perspective(Matrix& m, double fovyDegrees, double aspect, double zNear, double zFar)
{
    const double radians = fovyDegrees / 2 * kPi / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0)
        return;
    const double cotangent = std::cos(radians) / sine;
    Matrix p{};
    p[0] = static_cast<float>(cotangent / aspect);
    p[5] = static_cast<float>(cotangent);
    p[10] = static_cast<float>(-(zFar + zNear) / deltaZ);
    p[11] = -1;
    p[14] = static_cast<float>(-2 * zNear * zFar / deltaZ);
    m = multiply(m, p);
}

namespace {

void normalise(float v[3])
{
    const float r = static_cast<float>(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    if (r == 0.0f)
        return;
    v[0] /= r, v[1] /= r, v[2] /= r;
}

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

} // namespace

void lookAt(Matrix& m, double ex, double ey, double ez, double cx, double cy, double cz, double ux, double uy,
            double uz)
{
    float forward[3] = {static_cast<float>(cx - ex), static_cast<float>(cy - ey), static_cast<float>(cz - ez)};
    float up[3] = {static_cast<float>(ux), static_cast<float>(uy), static_cast<float>(uz)};
    float side[3];
    normalise(forward);
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    Matrix v = identityMatrix();
    v[0] = side[0], v[4] = side[1], v[8] = side[2];
    v[1] = up[0], v[5] = up[1], v[9] = up[2];
    v[2] = -forward[0], v[6] = -forward[1], v[10] = -forward[2];
    m = multiply(m, v);
    translate(m, static_cast<float>(-ex), static_cast<float>(-ey), static_cast<float>(-ez));
}

std::array<float, 9> normalMatrix(const Matrix& m)
{
    // Cofactors of the 3 x 3 block over its determinant: the inverse transposed.
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double D = -(b * i - c * h), E = a * i - c * g, F = -(a * h - b * g);
    const double G = b * f - c * e, H = -(a * f - c * d), I = a * e - b * d;
    const double det = a * A + b * B + c * C;
    const double k = det != 0 ? 1 / det : 0;
    // The cofactor matrix itself (rows A B C, D E F, G H I), stored column-major.
    return {static_cast<float>(A * k), static_cast<float>(D * k), static_cast<float>(G * k),
            static_cast<float>(B * k), static_cast<float>(E * k), static_cast<float>(H * k),
            static_cast<float>(C * k), static_cast<float>(F * k), static_cast<float>(I * k)};
}

void transform(const Matrix& m, const float in[4], float out[4])
{
    for (int r = 0; r < 4; ++r)
        out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
}

bool MatrixStack::push()
{
    if (entries_.size() >= maxDepth_)
        return false;
    entries_.push_back(entries_.back());
    return true;
}

bool MatrixStack::pop()
{
    if (entries_.size() <= 1)
        return false;
    entries_.pop_back();
    return true;
}

// ---------------------------------------------------------------- primitive assembly

bool isPointMode(uint32_t mode) { return mode == points; }
bool isLineMode(uint32_t mode) { return mode == lines || mode == lineLoop || mode == lineStrip; }
bool isValidMode(uint32_t mode) { return mode <= polygon; }

void triangleIndices(uint32_t mode, uint32_t count, std::vector<uint32_t>& out)
{
    auto tri = [&out](uint32_t a, uint32_t b, uint32_t c) {
        out.push_back(a);
        out.push_back(b);
        out.push_back(c);
    };
    // Mesa splits a quad a b c d along a c: colours interpolate across that diagonal.
    auto quad = [&tri](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        tri(a, b, c);
        tri(a, c, d);
    };
    switch (mode) {
    case triangles:
        for (uint32_t i = 0; i + 3 <= count; i += 3)
            tri(i, i + 1, i + 2);
        break;
    case triangleStrip:
        for (uint32_t i = 0; i + 3 <= count; ++i) {
            if (i % 2 == 0)
                tri(i, i + 1, i + 2);
            else
                tri(i + 1, i, i + 2);
        }
        break;
    case triangleFan:
    case polygon:
        for (uint32_t i = 1; i + 2 <= count; ++i)
            tri(0, i, i + 1);
        break;
    case quads:
        for (uint32_t i = 0; i + 4 <= count; i += 4)
            quad(i, i + 1, i + 2, i + 3);
        break;
    case quadStrip:
        for (uint32_t i = 0; i + 4 <= count; i += 2)
            quad(i, i + 1, i + 3, i + 2);
        break;
    default:
        break;
    }
}

void segmentIndices(uint32_t mode, uint32_t count, std::vector<uint32_t>& out)
{
    auto segment = [&out](uint32_t a, uint32_t b) {
        out.push_back(a);
        out.push_back(b);
    };
    if (mode == lines) {
        for (uint32_t i = 0; i + 2 <= count; i += 2)
            segment(i, i + 1);
    } else if (mode == lineStrip || mode == lineLoop) {
        for (uint32_t i = 0; i + 2 <= count; ++i)
            segment(i, i + 1);
        if (mode == lineLoop && count >= 2)
            segment(count - 1, 0);
    }
}

// ---------------------------------------------------------------- wide lines and points

namespace {

void appendClip(const Vertex& v, const Matrix& mvp, std::vector<ClipVertex>& out)
{
    ClipVertex& c = out.emplace_back();
    transform(mvp, v.position, c.position);
    std::memcpy(c.colour, v.colour, sizeof c.colour);
    std::memcpy(c.texCoord, v.texCoord, sizeof c.texCoord);
}

void appendGap(std::vector<ClipVertex>& out) { out.emplace_back() = ClipVertex{}; }

} // namespace

void appendLineRuns(uint32_t mode, const Vertex* vertices, uint32_t count, const Matrix& mvp,
                    std::vector<ClipVertex>& out)
{
    if (count < 2 || !isLineMode(mode))
        return;
    if (mode == lines) {
        out.reserve(out.size() + count / 2 * 3);
        for (uint32_t i = 0; i + 2 <= count; i += 2) {
            appendClip(vertices[i], mvp, out);
            appendClip(vertices[i + 1], mvp, out);
            appendGap(out);
        }
        return;
    }
    out.reserve(out.size() + count + 2);
    for (uint32_t i = 0; i < count; ++i)
        appendClip(vertices[i], mvp, out);
    if (mode == lineLoop)
        out.push_back(out[out.size() - count]);
    appendGap(out);
}

void appendPoints(const Vertex* vertices, uint32_t count, const Matrix& mvp, std::vector<ClipVertex>& out)
{
    out.reserve(out.size() + count);
    for (uint32_t i = 0; i < count; ++i)
        appendClip(vertices[i], mvp, out);
}

size_t packEnds(const std::vector<ClipVertex>& ends, int texelsPerEnd, int endsPerRow, std::vector<float>& out)
{
    const size_t rows = (ends.size() + static_cast<size_t>(endsPerRow) - 1) / static_cast<size_t>(endsPerRow);
    const size_t floats = static_cast<size_t>(texelsPerEnd) * 4;
    out.assign(rows * static_cast<size_t>(endsPerRow) * floats, 0.0f);
    for (size_t i = 0; i < ends.size(); ++i)
        std::memcpy(out.data() + i * floats, &ends[i], floats * sizeof(float));
    return rows;
}

// ---------------------------------------------------------------- client arrays

namespace {

const float* element(const ArrayPointer& array, uint32_t index, int components)
{
    const size_t stride = array.stride != 0 ? static_cast<size_t>(array.stride)
                                            : static_cast<size_t>(components) * sizeof(float);
    return reinterpret_cast<const float*>(static_cast<const char*>(array.pointer) + stride * index);
}

void readInto(const ArrayPointer& array, uint32_t index, float* out, int maxComponents)
{
    const int n = std::min(array.size, maxComponents);
    const float* p = element(array, index, array.size);
    std::memcpy(out, p, sizeof(float) * static_cast<size_t>(n));
}

} // namespace

void fetchVertices(const ClientArrays& arrays, const Vertex& current, uint32_t first, uint32_t count,
                   std::vector<Vertex>& out)
{
    const size_t base = out.size();
    out.resize(base + count);
    const bool usePosition = arrays.position.enabled && arrays.position.pointer;
    const bool useColour = arrays.colour.enabled && arrays.colour.pointer;
    const bool useNormal = arrays.normal.enabled && arrays.normal.pointer;
    const bool useTexCoord = arrays.texCoord.enabled && arrays.texCoord.pointer;
    for (uint32_t i = 0; i < count; ++i) {
        Vertex& v = out[base + i];
        v = current;
        const uint32_t index = first + i;
        if (usePosition) {
            v.position[2] = 0, v.position[3] = 1;
            readInto(arrays.position, index, v.position, 4);
        }
        if (useColour) {
            v.colour[3] = 1;
            readInto(arrays.colour, index, v.colour, 4);
        }
        if (useNormal)
            readInto(arrays.normal, index, v.normal, 3);
        if (useTexCoord) {
            v.texCoord[1] = 0, v.texCoord[2] = 0, v.texCoord[3] = 1;
            readInto(arrays.texCoord, index, v.texCoord, 4);
        }
    }
}

// ---------------------------------------------------------------- attribute groups

void restoreAttribs(AttribState& s, const AttribState& saved, uint32_t mask)
{
    auto copy4 = [](float* to, const float* from) { std::memcpy(to, from, 4 * sizeof(float)); };
    if (mask & currentBit) {
        copy4(s.colour, saved.colour);
        std::memcpy(s.normal, saved.normal, sizeof s.normal);
        copy4(s.texCoord, saved.texCoord);
    }
    if (mask & pointBit) {
        s.pointSize = saved.pointSize;
        s.pointSmooth = saved.pointSmooth;
    }
    if (mask & lineBit)
        s.lineWidth = saved.lineWidth;
    if (mask & polygonBit)
        s.cullFace = saved.cullFace;
    if (mask & lightingBit) {
        s.lighting = saved.lighting, s.light0 = saved.light0, s.colourMaterial = saved.colourMaterial;
        s.shadeModel = saved.shadeModel;
        copy4(s.lightAmbient, saved.lightAmbient), copy4(s.lightDiffuse, saved.lightDiffuse);
        copy4(s.lightSpecular, saved.lightSpecular), copy4(s.lightPosition, saved.lightPosition);
        copy4(s.materialAmbient, saved.materialAmbient), copy4(s.materialDiffuse, saved.materialDiffuse);
        copy4(s.materialSpecular, saved.materialSpecular), copy4(s.materialEmission, saved.materialEmission);
        s.materialShininess = saved.materialShininess;
        copy4(s.lightModelAmbient, saved.lightModelAmbient);
    }
    if (mask & fogBit)
        s.fog = saved.fog;
    if (mask & depthBufferBit) {
        s.depthTest = saved.depthTest, s.depthFunc = saved.depthFunc, s.clearDepth = saved.clearDepth;
    }
    if (mask & viewportBit)
        s.viewport = saved.viewport;
    if (mask & transformBit)
        s.matrixMode = saved.matrixMode;
    if (mask & enableBit) {
        s.lighting = saved.lighting, s.light0 = saved.light0, s.colourMaterial = saved.colourMaterial;
        s.fog = saved.fog, s.pointSmooth = saved.pointSmooth, s.blend = saved.blend;
        s.depthTest = saved.depthTest, s.cullFace = saved.cullFace, s.scissorTest = saved.scissorTest;
        s.texture2dUnits = saved.texture2dUnits, s.texture1dUnits = saved.texture1dUnits;
    }
    if (mask & colorBufferBit) {
        s.blend = saved.blend, s.blendSource = saved.blendSource, s.blendDestination = saved.blendDestination;
        copy4(s.clearColour, saved.clearColour);
    }
    if (mask & scissorBit) {
        s.scissorTest = saved.scissorTest;
        std::memcpy(s.scissor, saved.scissor, sizeof s.scissor);
    }
    if (mask & textureBit) {
        s.activeTexture = saved.activeTexture;
        std::memcpy(s.boundTextures, saved.boundTextures, sizeof s.boundTextures);
    }
}

} // namespace fixedgl
