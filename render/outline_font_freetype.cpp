// Outline font built from a TrueType face: each glyph outline is flattened into
// polygons (curves split until no chord strays more than kOutlineDeviation em),
// tessellated with the non-zero winding rule that TrueType fills by, and compiled
// into a display list with a front face at z = 0, a back face at -kOutlineExtrusion
// and side walls, ending with a move to the next character's origin.
#include "render/outline_font.h"
#include "render/outline_glyphs.h"

#include "gl/gl_api.h"
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "base/file_bytes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>

namespace {

constexpr int kFontLists = 256;

using Point = OutlinePoint;

// Flattened outline of one glyph, in em units.
struct GlyphOutline {
    std::vector<std::vector<Point>> contours;
    double emScale = 1.0; // em units per font unit
    Point pen{0, 0};
};

Point toEm(const GlyphOutline& glyph, const FT_Vector* v)
{
    return Point{v->x * glyph.emScale, v->y * glyph.emScale};
}

void addPoint(GlyphOutline& glyph, Point p)
{
    if (glyph.contours.empty())
        glyph.contours.emplace_back();
    glyph.contours.back().push_back(p);
    glyph.pen = p;
}

// Number of equal parameter steps after which the chord error of a curve whose
// second derivative is bounded by secondDerivative stays within the deviation
// (error <= |B''| h^2 / 8 for a step h).
int curveSteps(double secondDerivative)
{
    const double steps = std::ceil(std::sqrt(secondDerivative / (8.0 * kOutlineDeviation)));
    return std::clamp(static_cast<int>(steps), 1, 256);
}

int moveTo(const FT_Vector* to, void* user)
{
    auto& glyph = *static_cast<GlyphOutline*>(user);
    glyph.contours.emplace_back();
    addPoint(glyph, toEm(glyph, to));
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    auto& glyph = *static_cast<GlyphOutline*>(user);
    addPoint(glyph, toEm(glyph, to));
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto& glyph = *static_cast<GlyphOutline*>(user);
    const Point p0 = glyph.pen, p1 = toEm(glyph, control), p2 = toEm(glyph, to);
    const int steps = curveSteps(2.0 * std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y));
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, s = 1.0 - t;
        addPoint(glyph, Point{s * s * p0.x + 2 * s * t * p1.x + t * t * p2.x,
                              s * s * p0.y + 2 * s * t * p1.y + t * t * p2.y});
    }
    return 0;
}

int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
{
    auto& glyph = *static_cast<GlyphOutline*>(user);
    const Point p0 = glyph.pen, p1 = toEm(glyph, control1), p2 = toEm(glyph, control2), p3 = toEm(glyph, to);
    const double bend = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                 std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    const int steps = curveSteps(6.0 * bend);
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, s = 1.0 - t;
        const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, d = t * t * t;
        addPoint(glyph, Point{a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    return 0;
}

// Drops the closing point that repeats the first, and zero-length edges.
void tidyContours(GlyphOutline& glyph)
{
    std::vector<std::vector<Point>> kept;
    for (auto& contour : glyph.contours) {
        std::vector<Point> points;
        for (const Point& p : contour)
            if (points.empty() || p.x != points.back().x || p.y != points.back().y)
                points.push_back(p);
        while (points.size() > 1 && points.front().x == points.back().x && points.front().y == points.back().y)
            points.pop_back();
        if (points.size() >= 3)
            kept.push_back(std::move(points));
    }
    glyph.contours = std::move(kept);
}

// Triangles of the glyph's filled area, three points each, from the GLU tessellator.
struct Tessellation {
    std::vector<Point> triangles;
    std::deque<std::array<GLdouble, 3>> vertices; // stable addresses for the tessellator
    bool failed = false;
};

void GLAPIENTRY tessBegin(GLenum, void*) {}
void GLAPIENTRY tessEnd(void*) {}
// Registering an edge-flag callback makes the tessellator emit plain triangles only.
void GLAPIENTRY tessEdgeFlag(GLboolean, void*) {}

void GLAPIENTRY tessVertex(void* vertex, void* user)
{
    const auto* v = static_cast<const GLdouble*>(vertex);
    static_cast<Tessellation*>(user)->triangles.push_back(Point{v[0], v[1]});
}

void GLAPIENTRY tessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* user)
{
    auto& tess = *static_cast<Tessellation*>(user);
    tess.vertices.push_back({coords[0], coords[1], coords[2]});
    *out = tess.vertices.back().data();
}

void GLAPIENTRY tessError(GLenum, void* user) { static_cast<Tessellation*>(user)->failed = true; }

void tessellate(const GlyphOutline& glyph, Tessellation& tess)
{
    GLUtesselator* tesselator = gluNewTess();
    if (tesselator == nullptr) {
        tess.failed = true;
        return;
    }
    using Callback = void(GLAPIENTRY*)();
    gluTessCallback(tesselator, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(tessBegin));
    gluTessCallback(tesselator, GLU_TESS_END_DATA, reinterpret_cast<Callback>(tessEnd));
    gluTessCallback(tesselator, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(tessEdgeFlag));
    gluTessCallback(tesselator, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(tessVertex));
    gluTessCallback(tesselator, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(tessCombine));
    gluTessCallback(tesselator, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(tessError));
    gluTessProperty(tesselator, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tesselator, 0, 0, 1);

    gluTessBeginPolygon(tesselator, &tess);
    for (const auto& contour : glyph.contours) {
        gluTessBeginContour(tesselator);
        for (const Point& p : contour) {
            tess.vertices.push_back({p.x, p.y, 0.0});
            gluTessVertex(tesselator, tess.vertices.back().data(), tess.vertices.back().data());
        }
        gluTessEndContour(tesselator);
    }
    gluTessEndPolygon(tesselator);
    gluDeleteTess(tesselator);
    if (tess.triangles.size() % 3 != 0)
        tess.triangles.resize(tess.triangles.size() / 3 * 3);
}

// With the tessellator's normal at +z its triangles turn counter-clockwise seen
// from the front; the back face repeats them in reverse order so it faces -z.
void compileGlyph(const OutlineGlyph& glyph)
{
    const float depth = -kOutlineExtrusion;
    const bool materialOnLeft = glyph.materialOnLeft;
    const float advanceX = glyph.metrics.advanceX, advanceY = glyph.metrics.advanceY;
    if (!glyph.triangles.empty()) {
        glBegin(GL_TRIANGLES);
        glNormal3f(0, 0, 1);
        for (const Point& p : glyph.triangles)
            glVertex3f(float(p.x), float(p.y), 0.0f);
        glNormal3f(0, 0, -1);
        for (auto p = glyph.triangles.rbegin(); p != glyph.triangles.rend(); ++p)
            glVertex3f(float(p->x), float(p->y), depth);
        glEnd();
    }
    // Side walls, one quad per outline edge, the normal pointing away from the ink.
    // TrueType outlines keep the ink on the right of the direction of travel.
    const float side = materialOnLeft ? -1.0f : 1.0f;
    glBegin(GL_QUADS);
    for (const auto& contour : glyph.contours) {
        for (size_t i = 0; i < contour.size(); ++i) {
            const Point a = contour[i], b = contour[(i + 1) % contour.size()];
            const double length = std::hypot(b.x - a.x, b.y - a.y);
            glNormal3f(side * float(-(b.y - a.y) / length), side * float((b.x - a.x) / length), 0.0f);
            glVertex3f(float(a.x), float(a.y), 0.0f);
            glVertex3f(float(a.x), float(a.y), depth);
            glVertex3f(float(b.x), float(b.y), depth);
            glVertex3f(float(b.x), float(b.y), 0.0f);
        }
    }
    glEnd();
    glTranslatef(advanceX, advanceY, 0.0f);
}

// The outline, triangles and metrics of one character code; false when the face
// has no outline for it.
bool makeGlyph(FT_Face face, unsigned code, OutlineGlyph& out)
{
    if (FT_Load_Char(face, code, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0)
        return false;
    const FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;

    GlyphOutline glyph;
    glyph.emScale = 1.0 / face->units_per_EM;
    FT_Outline_Funcs funcs = {};
    funcs.move_to = moveTo;
    funcs.line_to = lineTo;
    funcs.conic_to = conicTo;
    funcs.cubic_to = cubicTo;
    if (FT_Outline_Decompose(&slot->outline, &funcs, &glyph) != 0)
        return false;
    tidyContours(glyph);

    Tessellation tess;
    if (!glyph.contours.empty())
        tessellate(glyph, tess);
    if (tess.failed)
        tess.triangles.clear();

    const double em = glyph.emScale;
    out.metrics.blackBoxX = float(slot->metrics.width * em);
    out.metrics.blackBoxY = float(slot->metrics.height * em);
    out.metrics.originX = float(slot->metrics.horiBearingX * em);
    out.metrics.originY = float(slot->metrics.horiBearingY * em);
    out.metrics.advanceX = float(slot->metrics.horiAdvance * em);
    out.metrics.advanceY = 0.0f;
    out.materialOnLeft = (slot->outline.flags & FT_OUTLINE_REVERSE_FILL) != 0;
    out.contours = std::move(glyph.contours);
    out.triangles = std::move(tess.triangles);
    out.present = true;
    return true;
}

} // namespace

const std::vector<std::string>& outlineFontFiles()
{
    static const std::vector<std::string> files = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/TTF/DejaVuSans.ttf",
        "/usr/share/fonts/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    };
    return files;
}

bool buildOutlineGlyphs(const std::vector<std::string>& fontFiles, std::vector<OutlineGlyph>& glyphs)
{
    glyphs.assign(kOutlineGlyphCount, OutlineGlyph{});
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "Outline font: FreeType did not start; the font lists stay empty.\n");
        return false;
    }
    FT_Face face = nullptr;
    for (const std::string& file : fontFiles) {
        // A folder or FIFO under a font's name is passed over like a missing file.
        if (!notARegularFile(file.c_str()).empty())
            continue;
        if (FT_New_Face(library, file.c_str(), 0, &face) == 0) {
            if (FT_IS_SCALABLE(face) && face->units_per_EM > 0)
                break;
            FT_Done_Face(face);
            face = nullptr;
        }
    }
    if (face == nullptr) {
        std::fprintf(stderr, "Outline font: no usable font file found; the font lists stay empty.\n");
        FT_Done_FreeType(library);
        return false;
    }
    for (int code = 0; code < kOutlineGlyphCount; ++code)
        makeGlyph(face, unsigned(code), glyphs[code]);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return true;
}

bool createOutlineFontFrom(RenderResources& context, const std::vector<std::string>& fontFiles)
{
    context.fontBase = glGenLists(kFontLists);
    std::vector<OutlineGlyph> glyphs;
    if (!buildOutlineGlyphs(fontFiles, glyphs))
        return false;
    for (int code = 0; code < kOutlineGlyphCount; ++code) {
        if (!glyphs[code].present)
            continue;
        context.glyphMetrics[code] = glyphs[code].metrics;
        glNewList(context.fontBase + code, GL_COMPILE);
        compileGlyph(glyphs[code]);
        glEndList();
    }
    return true;
}

void createOutlineFont(RenderResources& context)
{
    createOutlineFontFrom(context, outlineFontFiles());
}
