// The outline glyph file: "ZURGLYF1", the glyph count, then per glyph its flags,
// six float metrics, its contours (count, then points per contour) and its
// triangle points, counts as uint32 and coordinates as doubles, little-endian.
#include "render/outline_glyphs.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr char kMagic[8] = {'Z', 'U', 'R', 'G', 'L', 'Y', 'F', '1'};

template <typename T>
void put(std::vector<uint8_t>& out, T value)
{
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

void putPoints(std::vector<uint8_t>& out, const std::vector<OutlinePoint>& points)
{
    put(out, uint32_t(points.size()));
    for (const OutlinePoint& p : points) {
        put(out, p.x);
        put(out, p.y);
    }
}

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    template <typename T>
    bool get(T& value)
    {
        if (bytes.size() - at < sizeof(T))
            return false;
        std::memcpy(&value, bytes.data() + at, sizeof(T));
        at += sizeof(T);
        return true;
    }
    bool getPoints(std::vector<OutlinePoint>& points)
    {
        uint32_t count = 0;
        if (!get(count) || count > (bytes.size() - at) / (2 * sizeof(double)))
            return false;
        points.resize(count);
        for (OutlinePoint& p : points)
            if (!get(p.x) || !get(p.y))
                return false;
        return true;
    }
};

} // namespace

bool writeOutlineGlyphs(const std::string& path, const std::vector<OutlineGlyph>& glyphs)
{
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    put(out, uint32_t(glyphs.size()));
    for (const OutlineGlyph& g : glyphs) {
        put(out, uint8_t((g.present ? 1 : 0) | (g.materialOnLeft ? 2 : 0)));
        for (float v : {g.metrics.blackBoxX, g.metrics.blackBoxY, g.metrics.originX, g.metrics.originY,
                        g.metrics.advanceX, g.metrics.advanceY})
            put(out, v);
        put(out, uint32_t(g.contours.size()));
        for (const auto& contour : g.contours)
            putPoints(out, contour);
        putPoints(out, g.triangles);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

bool readOutlineGlyphs(const std::string& path, std::vector<OutlineGlyph>& glyphs, std::string& error)
{
    glyphs.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot open";
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Reader in{bytes};
    char magic[sizeof kMagic];
    for (char& c : magic)
        if (!in.get(c)) {
            error = path + ": too short";
            return false;
        }
    uint32_t count = 0;
    if (std::memcmp(magic, kMagic, sizeof kMagic) != 0 || !in.get(count) || count > 256) {
        error = path + ": not an outline glyph file";
        return false;
    }
    glyphs.resize(count);
    for (OutlineGlyph& g : glyphs) {
        uint8_t flags = 0;
        uint32_t contours = 0;
        bool ok = in.get(flags) && in.get(g.metrics.blackBoxX) && in.get(g.metrics.blackBoxY) &&
                  in.get(g.metrics.originX) && in.get(g.metrics.originY) && in.get(g.metrics.advanceX) &&
                  in.get(g.metrics.advanceY) && in.get(contours) && contours <= (bytes.size() - in.at) / 4;
        if (ok) {
            g.present = (flags & 1) != 0;
            g.materialOnLeft = (flags & 2) != 0;
            g.contours.resize(contours);
            for (auto& contour : g.contours)
                ok = ok && in.getPoints(contour);
            ok = ok && in.getPoints(g.triangles) && g.triangles.size() % 3 == 0;
        }
        if (!ok) {
            glyphs.clear();
            error = path + ": damaged glyph data";
            return false;
        }
    }
    return true;
}
