// Two-pass OBJ reader. Reading follows scanf-style pattern reads ("%s" tokens,
// "%f", "%d" with literal slashes) over the file held in memory: the token rules
// below are what stored mesh files rely on, quirks included (keywords known by
// their first one or two characters, the "o" name token, a third "vt" number read
// as a keyword).
#include "formats/obj_mesh.h"
#include "formats/float_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/file_bytes.h"
#include "base/random.h"

namespace {

// Tokens are read into a 256-byte buffer in the original format: a longer token
// is cut to its first 255 characters (the rest of it is dropped, not reread).
constexpr size_t kTokenChars = 255;

inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct Cursor {
    const char* p;
    const char* end;

    bool skipSpace()
    {
        while (p < end && isSpace(*p))
            ++p;
        return p < end;
    }

    // "%s": false at end of input.
    bool token(const char*& start, size_t& size)
    {
        if (!skipSpace())
            return false;
        start = p;
        while (p < end && !isSpace(*p))
            ++p;
        size = static_cast<size_t>(p - start);
        if (size > kTokenChars)
            size = kTokenChars;
        return true;
    }

    // The rest of the line, line end included. The original read takes at most
    // 255 characters; a longer line is skipped whole here instead of having its
    // tail read as keywords.
    void skipLine()
    {
        const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
        p = nl ? static_cast<const char*>(nl) + 1 : end;
    }

    // "%d": sign and digits; a value beyond 32 bits saturates (and then names no element).
    inline __attribute__((always_inline)) bool readInt(int& value)
    {
        if (!skipSpace())
            return false;
        const char* q = p;
        bool negative = false;
        if (*q == '+' || *q == '-')
            negative = *q++ == '-';
        const char* digits = q;
        int64_t v = 0;
        while (q < end && isDigit(*q)) {
            if (v < (int64_t(1) << 32))
                v = v * 10 + (*q - '0');
            ++q;
        }
        if (q == digits)
            return false;
        p = q;
        if (negative)
            v = -v;
        value = v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int>(v));
        return true;
    }

    // "%f": the longest number at the cursor (decimal, exponent, inf, nan).
    bool readFloat(float& value)
    {
        if (!skipSpace())
            return false;
        const char* start = p;
        if (*start == '+')
            ++start;
        const char* after = readFloatText(start, end, value);
        if (after == start)
            return false;
        p = after;
        return true;
    }

    bool literal(char c)
    {
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
};

enum class FaceForm { PositionNormal, Full, PositionTexcoord, Position };

int formArity(FaceForm form)
{
    switch (form) {
    case FaceForm::Full: return 3;
    case FaceForm::Position: return 1;
    default: return 2;
    }
}

// One vertex with the face form's pattern: "%d//%d", "%d/%d/%d", "%d/%d" or
// "%d". Returns how many numbers it converted; the cursor stops where the
// pattern stopped matching. Values land in (position, texcoord, normal).
inline int readCorner(Cursor& in, FaceForm form, int out[3])
{
    if (!in.readInt(out[0]))
        return 0;
    switch (form) {
    case FaceForm::Position:
        return 1;
    case FaceForm::PositionNormal:
        if (!in.literal('/') || !in.literal('/') || !in.readInt(out[2]))
            return 1;
        return 2;
    case FaceForm::PositionTexcoord:
        if (!in.literal('/') || !in.readInt(out[1]))
            return 1;
        return 2;
    case FaceForm::Full:
        if (!in.literal('/') || !in.readInt(out[1]))
            return 1;
        if (!in.literal('/') || !in.readInt(out[2]))
            return 2;
        return 3;
    }
    return 0;
}

struct FaceCorner {
    int index[3];  // position, texcoord, normal as written in the file
    bool complete;
};

// Reads one face after its "f": the first token picks the form for the whole
// face; the second and third vertices are always read, further ones while a read
// converts at least one number. Both passes read faces with this.
FaceForm readFace(Cursor& in, std::vector<FaceCorner>& corners)
{
    corners.clear();
    const char* tok = "";
    size_t size = 0;
    in.token(tok, size);
    Cursor word{tok, tok + size};

    // "%d/%d" converts two numbers exactly when "%d/%d/%d" converts at least two
    // (and "%d" one when it converts one), so one full read decides the form and
    // gives the first vertex; only the "//" form reads the token again.
    FaceCorner corner{{0, 0, 0}, false};
    FaceForm form;
    if (std::string_view(tok, size).find("//") != std::string_view::npos) {
        form = FaceForm::PositionNormal;
        corner.complete = readCorner(word, form, corner.index) == 2;
    } else {
        int converted = readCorner(word, FaceForm::Full, corner.index);
        form = converted == 3 ? FaceForm::Full : (converted == 2 ? FaceForm::PositionTexcoord : FaceForm::Position);
        corner.complete = converted >= 1;
    }
    const int arity = formArity(form);
    corners.push_back(corner);
    for (int k = 0;; ++k) {
        FaceCorner next{{0, 0, 0}, false};
        int converted = readCorner(in, form, next.index);
        if (k >= 2 && converted < 1)
            break;
        next.complete = converted == arity;
        corners.push_back(next);
    }
    return form;
}

// A 1-based or negative (counting back) index made 0-based; -1 when it names no
// element read so far.
inline int64_t resolve(int index, int64_t count)
{
    int64_t i = index > 0 ? int64_t(index) - 1 : count + index;
    return (index != 0 && i >= 0 && i < count) ? i : -1;
}

struct Loader {
    ObjMesh& mesh;
    std::vector<FaceCorner> corners;
    std::vector<uint32_t> faceVertices;

    uint32_t findOrAdd(const MeshVertex& record, int64_t position)
    {
        VertexBuckets& b = mesh.vertexBuckets;
        uint32_t last = VertexBuckets::kNone;
        for (uint32_t v = b.head[position]; v != VertexBuckets::kNone; v = b.next[v]) {
            if (std::memcmp(&mesh.vertices[v], &record, sizeof record) == 0)
                return v;
            last = v;
        }
        uint32_t index = static_cast<uint32_t>(mesh.vertices.size());
        mesh.vertices.push_back(record);
        b.next.push_back(VertexBuckets::kNone);
        if (last == VertexBuckets::kNone)
            b.head[position] = index;
        else
            b.next[last] = index;
        return index;
    }

    // Faces that name an element not read so far (or 0) are skipped whole.
    void addFace(FaceForm form)
    {
        const int64_t np = static_cast<int64_t>(mesh.positions.size() / 3);
        const int64_t nt = static_cast<int64_t>(mesh.texcoords.size() / 2);
        const int64_t nn = static_cast<int64_t>(mesh.normals.size() / 3);
        const bool withTexcoord = form == FaceForm::Full || form == FaceForm::PositionTexcoord;
        const bool withNormal = form == FaceForm::Full || form == FaceForm::PositionNormal;
        for (FaceCorner& c : corners) {
            if (!c.complete)
                return;
            c.index[0] = static_cast<int>(resolve(c.index[0], np));
            if (c.index[0] < 0)
                return;
            if (withTexcoord && (c.index[1] = static_cast<int>(resolve(c.index[1], nt))) < 0)
                return;
            if (withNormal && (c.index[2] = static_cast<int>(resolve(c.index[2], nn))) < 0)
                return;
        }
        // One find-or-add per corner in face order gives the same vertices, in the
        // same order, as one per triangle corner of the fan.
        faceVertices.clear();
        for (const FaceCorner& c : corners) {
            MeshVertex v{};
            const float* p = &mesh.positions[size_t(c.index[0]) * 3];
            v.px = p[0];
            v.py = p[1];
            v.pz = p[2];
            if (withTexcoord) {
                const float* t = &mesh.texcoords[size_t(c.index[1]) * 2];
                v.u = t[0];
                v.v = t[1];
            }
            if (withNormal) {
                const float* n = &mesh.normals[size_t(c.index[2]) * 3];
                v.nx = n[0];
                v.ny = n[1];
                v.nz = n[2];
            }
            faceVertices.push_back(findOrAdd(v, c.index[0]));
        }
        for (size_t i = 2; i < faceVertices.size(); ++i) {
            mesh.triangleIndices.push_back(faceVertices[0]);
            mesh.triangleIndices.push_back(faceVertices[i - 1]);
            mesh.triangleIndices.push_back(faceVertices[i]);
        }
    }

    static char second(const char* tok, size_t size) { return size > 1 ? tok[1] : '\0'; }

    void countPass(const char* data, size_t size, int64_t& positions, int64_t& texcoords, int64_t& normals,
                   int64_t& triangles)
    {
        Cursor in{data, data + size};
        const char* tok;
        size_t len;
        while (in.token(tok, len)) {
            if (tok[0] == 'f') {
                readFace(in, corners);
                triangles += static_cast<int64_t>(corners.size()) - 2;
                continue;
            }
            if (tok[0] == 'v') {
                char c = second(tok, len);
                if (c == '\0')
                    ++positions;
                else if (c == 'n')
                    ++normals;
                else if (c == 't')
                    ++texcoords;
                else
                    continue;  // neither counted nor skipped
            }
            in.skipLine();
        }
    }

    void fillPass(const char* data, size_t size)
    {
        Cursor in{data, data + size};
        const char* tok;
        size_t len;
        while (in.token(tok, len)) {
            switch (tok[0]) {
            case 'v': {
                char c = second(tok, len);
                if (c == '\0' || c == 'n') {
                    float xyz[3] = {0.0f, 0.0f, 0.0f};
                    if (in.readFloat(xyz[0]) && in.readFloat(xyz[1]))
                        in.readFloat(xyz[2]);
                    std::vector<float>& dst = c == 'n' ? mesh.normals : mesh.positions;
                    dst.insert(dst.end(), xyz, xyz + 3);
                    if (c == '\0')
                        mesh.vertexBuckets.head.push_back(VertexBuckets::kNone);
                } else if (c == 't') {
                    float uv[2] = {0.0f, 0.0f};
                    if (in.readFloat(uv[0]))
                        in.readFloat(uv[1]);
                    mesh.texcoords.insert(mesh.texcoords.end(), uv, uv + 2);
                }
                break;
            }
            case 'o':
                mesh.objectStarts.push_back(static_cast<int32_t>(mesh.triangleIndices.size() / 3));
                in.token(tok, len);  // the object's name, one token
                break;
            case 'f':
                addFace(readFace(in, corners));
                break;
            default:
                in.skipLine();
                break;
            }
        }
    }
};

// Per-vertex normals from the faces: cross products summed unnormalised (larger
// faces weigh more), then scaled to unit length.
void generateNormals(ObjMesh& mesh)
{
    for (MeshVertex& v : mesh.vertices)
        v.nx = v.ny = v.nz = 0.0f;
    const uint32_t* idx = mesh.triangleIndices.data();
    for (int32_t t = 0; t < mesh.triangleCount; ++t) {
        MeshVertex& a = mesh.vertices[idx[3 * t]];
        MeshVertex& b = mesh.vertices[idx[3 * t + 1]];
        MeshVertex& c = mesh.vertices[idx[3 * t + 2]];
        float ex = b.px - a.px, ey = b.py - a.py, ez = b.pz - a.pz;
        float fx = c.px - a.px, fy = c.py - a.py, fz = c.pz - a.pz;
        float nx = ey * fz - ez * fy;
        float ny = ez * fx - ex * fz;
        float nz = ex * fy - ey * fx;
        for (MeshVertex* v : {&a, &b, &c}) {
            v->nx += nx;
            v->ny += ny;
            v->nz += nz;
        }
    }
    for (MeshVertex& v : mesh.vertices) {
        float len = static_cast<float>(std::sqrt(static_cast<double>(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz)));
        float k = 1.0f / len;
        float x = v.nx * k, y = v.ny * k, z = v.nz * k;
        // Only degenerate triangles leave a zero sum (and only absurd coordinates a
        // non-finite one); such vertices face +z rather than carry NaN.
        if (!(len > 0.0f) || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
            x = 0.0f;
            y = 0.0f;
            z = 1.0f;
        }
        v.nx = x;
        v.ny = y;
        v.nz = z;
    }
}

} // namespace

std::vector<uint32_t> VertexBuckets::list(int32_t position) const
{
    std::vector<uint32_t> out;
    if (position < 0 || static_cast<size_t>(position) >= head.size())
        return out;
    for (uint32_t v = head[position]; v != kNone; v = next[v])
        out.push_back(v);
    return out;
}

void ObjMesh::loadFromMemory(const char* data, size_t size, bool forceNormals)
{
    *this = ObjMesh();
    Loader loader{*this, {}, {}};

    int64_t np = 0, nt = 0, nn = 0, ntri = 0;
    loader.countPass(data, size, np, nt, nn, ntri);
    // The first pass sizes the arrays; the second pass may still read a different
    // number (a "v" line whose numbers run on), so it appends rather than indexes.
    positions.reserve(size_t(np) * 3);
    texcoords.reserve(size_t(nt) * 2);
    normals.reserve(size_t(nn) * 3);
    vertexBuckets.head.reserve(size_t(np));
    triangleIndices.reserve(size_t(ntri > 0 ? ntri : 0) * 3);

    // Later users of the generator (the noise texture) rely on this reseed.
    rng::srand(123456);
    objectStarts.clear();
    loader.fillPass(data, size);

    positionCount = static_cast<int32_t>(positions.size() / 3);
    texcoordCount = static_cast<int32_t>(texcoords.size() / 2);
    normalCount = static_cast<int32_t>(normals.size() / 3);
    triangleCount = static_cast<int32_t>(triangleIndices.size() / 3);
    objectStarts.push_back(triangleCount);
    hasPositions = positionCount > 0;
    hasTexcoords = texcoordCount > 0;
    hasNormals = normalCount > 0;

    if (forceNormals || !hasNormals) {
        generateNormals(*this);
        hasNormals = true;
    }
    loaded = true;
}

namespace {

bool isObjNumber(std::string_view token)
{
    // from_chars takes no plus sign; text written by printf may have one.
    if (token.size() > 1 && token[0] == '+' && token[1] != '-' && token[1] != '+')
        token.remove_prefix(1);
    float value = 0;
    return !token.empty() && readFloatText(token.data(), token.data() + token.size(), value) == token.data() + token.size();
}

// v, v/vt, v//vn or v/vt/vn, each an integer (negative ones count from the end).
bool isObjCorner(std::string_view token)
{
    int part = 0;
    size_t start = 0;
    for (size_t i = 0; i <= token.size(); ++i) {
        if (i < token.size() && token[i] != '/')
            continue;
        const std::string_view piece = token.substr(start, i - start);
        long value = 0;
        const bool empty = piece.empty();
        if (part == 0 && empty)
            return false;
        if (!empty) {
            const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
            if (error != std::errc() || end != piece.data() + piece.size())
                return false;
        }
        if (++part > 3)
            return false;
        start = i + 1;
    }
    return true;
}

} // namespace

size_t malformedObjLines(const char* data, size_t size)
{
    size_t malformed = 0;
    size_t at = 0;
    while (at < size) {
        size_t end = at;
        while (end < size && data[end] != '\n')
            ++end;
        std::string_view line(data + at, end - at);
        at = end + 1;
        std::vector<std::string_view> tokens;
        size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
                ++i;
            size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r')
                ++j;
            if (j > i)
                tokens.emplace_back(line.substr(i, j - i));
            i = j;
        }
        if (tokens.empty() || tokens[0][0] == '#')
            continue;
        const std::string_view key = tokens[0];
        bool good = true;
        if (key == "v" || key == "vt" || key == "vn" || key == "vp") {
            good = tokens.size() >= 2;
            for (size_t k = 1; k < tokens.size(); ++k)
                good = good && isObjNumber(tokens[k]);
        } else if (key == "f" || key == "l" || key == "p") {
            good = tokens.size() >= 2;
            for (size_t k = 1; k < tokens.size(); ++k)
                good = good && isObjCorner(tokens[k]);
        } else {
            good = key == "o" || key == "g" || key == "s" || key == "usemtl" || key == "mtllib";
        }
        malformed += good ? 0 : 1;
    }
    return malformed;
}

bool ObjMesh::load(const char* path, bool forceNormals)
{
    std::string text, why;
    if (!readFileBytes(path, text, why)) {
        std::fprintf(stderr, "%s %s; the mesh is left out\n", path, why.c_str());
        return false;
    }
    loadFromMemory(text.data(), text.size(), forceNormals);
    if (triangleCount == 0)
        std::fprintf(stderr, "%s holds no faces%s; the mesh is empty\n", path, text.empty() ? " (0 bytes)" : "");
    if (!text.empty() && text.back() != '\n')
        std::fprintf(stderr, "%s ends inside a line: it may be cut short\n", path);
    if (const size_t malformed = malformedObjLines(text.data(), text.size()))
        std::fprintf(stderr, "%s: %zu %s not OBJ as written: the data is corrupt there\n", path, malformed,
                     malformed == 1 ? "line is" : "lines are");
    return true;
}
