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
    // Offset from `data` of the text reading stopped at, or of the end when only
    // blanks are left.
    size_t stopOffset(const char* data) const
    {
        const char* q = p_;
        while (q < end_ && isBlank(*q))
            ++q;
        return static_cast<size_t>((q == end_ ? end_ : p_) - data);
    }

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

// Lines whose first word is "f": the faces a file holds, whatever the reader makes of them.
size_t faceLines(const char* data, size_t size)
{
    size_t faces = 0;
    bool lineStart = true;
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (lineStart && c == 'f' && (i + 1 == size || isBlank(data[i + 1])))
            ++faces;
        if (c == '\n')
            lineStart = true;
        else if (c != ' ' && c != '\t')
            lineStart = false;
    }
    return faces;
}

size_t lineAt(const char* data, size_t offset)
{
    return 1 + static_cast<size_t>(std::count(data, data + offset, '\n'));
}

// The reading itself (see poly_mesh.h): how many faces named missing vertices.
size_t readPolygons(TokenReader& in, std::vector<Polygon>& polygons)
{
    size_t dropped = 0;
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

} // namespace

// ---------------------------------------------------------------------------
// Loading and editing
// ---------------------------------------------------------------------------

size_t PolyMesh::loadPolygonsFromMemory(const char* data, size_t size, size_t* stoppedAt)
{
    TokenReader in(data, size);
    const size_t dropped = readPolygons(in, polygons);
    if (stoppedAt)
        *stoppedAt = in.stopOffset(data);
    return dropped;
}

void PolyMesh::loadPolygons(const char* path)
{
    std::string text, why;
    if (!readFileBytes(path, text, why)) {
        std::fprintf(stderr, "%s %s; the mesh is left out\n", path, why.c_str());
        return;
    }
    size_t stoppedAt = 0;
    const size_t dropped = loadPolygonsFromMemory(text.data(), text.size(), &stoppedAt);
    // A file without faces still leaves one empty polygon behind.
    const size_t read = static_cast<size_t>(
        std::count_if(polygons.begin(), polygons.end(), [](const Polygon& p) { return !p.points.empty(); }));
    const size_t faces = faceLines(text.data(), text.size());
    // The reader takes the file as one stream of words and stops at the first it
    // cannot read: one changed byte can cost every face after it, so the line and
    // what was lost are said.
    if (stoppedAt < text.size())
        std::fprintf(stderr, "%s: reading stopped at line %zu, at a word it cannot read: %zu of the %zu faces in the "
                     "file were read; %s\n",
                     path, lineAt(text.data(), stoppedAt), read, faces,
                     read > 0 ? "the mesh is drawn with those" : "the mesh is empty");
    else if (read == 0)
        std::fprintf(stderr, "%s holds no faces%s; the mesh is empty\n", path, text.empty() ? " (0 bytes)" : "");
    if (!text.empty() && text.back() != '\n')
        std::fprintf(stderr, "%s ends inside a line: it may be cut short\n", path);
    if (dropped > 0)
        std::fprintf(stderr, "%s: %zu faces name vertices the file does not have; they are left out\n", path,
                     dropped);
    if (const size_t malformed = malformedObjLines(text.data(), text.size()))
        std::fprintf(stderr, "%s: %zu %s not OBJ as written: the data is corrupt there\n", path, malformed,
                     malformed == 1 ? "line is" : "lines are");
}

void PolyMesh::reversePolygons() { std::reverse(polygons.begin(), polygons.end()); }

void PolyMesh::addPolygon(const Polygon& polygon) { polygons.push_back(polygon); }
