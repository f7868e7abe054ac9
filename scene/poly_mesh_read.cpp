// PolyMesh: the token-by-token OBJ polygon reader and the two edits of the polygon
// list. Reads the file whole (base/file_bytes.h); no GL.
#include "scene/poly_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/file_bytes.h"
#include "formats/float_text.h"
#include "formats/obj_mesh.h"

// ---------------------------------------------------------------------------
// Formatted extraction over a text buffer. It behaves like a C++ input stream in
// the "C" locale: every extraction skips blanks first, a failed extraction leaves
// the stream failed for good, and "ended" means an extraction ran into the end.
// ---------------------------------------------------------------------------
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class TokenReader {
public:
    TokenReader(const char* data, size_t size) : p_(data), end_(data + size) {}

    bool failed() const { return failed_; }
    bool ended() const { return ended_; }

    bool token(std::string_view& out)
    {
        if (!skipBlanks())
            return false;
        const char* start = p_;
        while (p_ < end_ && !isBlank(*p_))
            ++p_;
        if (p_ == end_)
            ended_ = true;
        out = std::string_view(start, static_cast<size_t>(p_ - start));
        return true;
    }

    bool readChar(char& c)
    {
        if (!skipBlanks())
            return false;
        c = *p_++;
        return true;
    }

    // Next non-blank character without taking it; false when the input has ended.
    bool peekChar(char& c)
    {
        if (!skipBlanks())
            return false;
        c = *p_;
        return true;
    }

    bool readInt(int& value)
    {
        if (!skipBlanks())
            return false;
        const char* q = p_;
        bool negative = false;
        if (*q == '+' || *q == '-')
            negative = *q++ == '-';
        const char* digits = q;
        int64_t v = 0;
        bool overflow = false;
        while (q < end_ && isDigit(*q)) {
            v = v * 10 + (*q - '0');
            if (v > int64_t(INT32_MAX) + 1)
                overflow = true, v = int64_t(INT32_MAX) + 1;
            ++q;
        }
        p_ = q;
        if (q == end_)
            ended_ = true;
        if (q == digits)
            return fail();
        if (negative)
            v = -v;
        if (overflow || v > INT32_MAX || v < INT32_MIN)
            return fail();
        value = static_cast<int>(v);
        return true;
    }

    // Sign, digits, one point, digits, then an exponent with optional sign; the
    // collected characters must form a whole number, as a stream demands.
    bool readFloat(float& value)
    {
        if (!skipBlanks())
            return false;
        const char* start = p_;
        const char* q = p_;
        if (*q == '+' || *q == '-')
            ++q;
        while (q < end_ && isDigit(*q))
            ++q;
        if (q < end_ && *q == '.')
            for (++q; q < end_ && isDigit(*q); ++q) {
            }
        if (q < end_ && (*q == 'e' || *q == 'E')) {
            ++q;
            if (q < end_ && (*q == '+' || *q == '-'))
                ++q;
            while (q < end_ && isDigit(*q))
                ++q;
        }
        p_ = q;
        if (q == end_)
            ended_ = true;
        const char* numberStart = (*start == '+') ? start + 1 : start;
        if (q == numberStart)
            return fail();
        // Underflow is a usable (tiny) value; overflow fails like a stream does (the
        // scan above takes no "inf", so an infinity can only be an overflow).
        float v = 0.0f;
        if (readFloatText(numberStart, q, v) != q || std::isinf(v))
            return fail();
        value = v;
        return true;
    }

private:
    bool skipBlanks()
    {
        if (failed_)
            return false;
        while (p_ < end_ && isBlank(*p_))
            ++p_;
        if (p_ == end_) {
            ended_ = true;
            return fail();
        }
        return true;
    }

    bool fail()
    {
        failed_ = true;
        return false;
    }

    const char* p_;
    const char* end_;
    bool failed_ = false;
    bool ended_ = false;
};

// Faces naming a vertex that does not exist are dropped, not read out of bounds.
size_t addFace(std::vector<Polygon>& polygons, const std::vector<Vec3>& vertices, const std::vector<int>& indices)
{
    for (int index : indices)
        if (index < 1 || static_cast<size_t>(index) > vertices.size())
            return 1;
    Polygon polygon;
    polygon.points.reserve(indices.size());
    for (int index : indices)
        polygon.points.push_back(vertices[static_cast<size_t>(index) - 1]);
    polygons.push_back(std::move(polygon));
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Loading and editing
// ---------------------------------------------------------------------------

size_t PolyMesh::loadPolygonsFromMemory(const char* data, size_t size)
{
    size_t dropped = 0;
    TokenReader in(data, size);
    polygons.clear();

    std::string_view tok;
    while (in.token(tok) && tok != "v") {
    }

    std::vector<Vec3> vertices;
    bool tokenIsFace = false;
    for (;;) {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        if (in.readFloat(x) && in.readFloat(y))
            in.readFloat(z);
        vertices.push_back(Vec3{1, x, y, z});
        if (!in.token(tok))
            break;
        if (tok != "v" || in.ended()) {
            // The token that ends the vertex run may itself open the first face.
            tokenIsFace = tok == "f";
            break;
        }
    }
    if (!tokenIsFace)
        while (in.token(tok) && tok != "f") {
        }

    std::vector<int> indices;
    for (;;) {
        int index = 0;
        char separator;
        if (!(in.readInt(index) && in.readChar(separator) && in.readChar(separator))) {
            return dropped + addFace(polygons, vertices, indices);
        }
        indices.push_back(index);
        char next;
        if (!in.peekChar(next)) {
            return dropped + addFace(polygons, vertices, indices);
        }
        if (next == 'f') {
            dropped += addFace(polygons, vertices, indices);
            indices.clear();
            in.readChar(next);
        }
    }
}

void PolyMesh::loadPolygons(const char* path)
{
    std::string text, why;
    if (!readFileBytes(path, text, why)) {
        std::fprintf(stderr, "%s %s; the mesh is left out\n", path, why.c_str());
        return;
    }
    const size_t dropped = loadPolygonsFromMemory(text.data(), text.size());
    // A file without faces still leaves one empty polygon behind.
    const bool noFaces =
        std::none_of(polygons.begin(), polygons.end(), [](const Polygon& p) { return !p.points.empty(); });
    if (noFaces)
        std::fprintf(stderr, "%s holds no faces%s; the mesh is empty\n", path, text.empty() ? " (0 bytes)" : "");
    if (!text.empty() && text.back() != '\n')
        std::fprintf(stderr, "%s ends inside a line: it may be cut short\n", path);
    if (dropped > 0)
        std::fprintf(stderr, "%s: %zu faces name vertices the file does not have; they are left out\n", path,
                     dropped);
    if (const size_t malformed = malformedObjLines(text.data(), text.size()))
        std::fprintf(stderr, "%s: %zu lines are not OBJ as written: the data is corrupt there\n", path, malformed);
}

void PolyMesh::reversePolygons() { std::reverse(polygons.begin(), polygons.end()); }

void PolyMesh::addPolygon(const Polygon& polygon) { polygons.push_back(polygon); }
