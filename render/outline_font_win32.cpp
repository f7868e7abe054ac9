// Outline font through WGL: the glyphs of a TrueType face shipped with the show
// (added for this process only), turned into display lists by
// wglUseFontOutlinesA. A face Windows cannot find would be replaced by another
// without a word, so a missing file falls back to a face Windows has, and says so.
#include <windows.h>

#include "render/outline_font.h"

#include <cstdio>

#include "gl/gl_api.h"

namespace {

constexpr int kFontLists = 256;
constexpr const char* kShippedFace = "DejaVu Sans";
constexpr const char* kSystemFace = "Verdana";

} // namespace

const std::vector<std::string>& outlineFontFiles()
{
    static const std::vector<std::string> files = {"fonts/DejaVuSans.ttf"};
    return files;
}

bool createOutlineFontFrom(RenderResources& context, const std::vector<std::string>& fontFiles)
{
    context.fontBase = glGenLists(kFontLists);
    HDC deviceContext = static_cast<HDC>(context.deviceContext);

    bool shipped = false;
    for (const std::string& file : fontFiles)
        if (AddFontResourceExA(file.c_str(), FR_PRIVATE, nullptr) > 0) {
            shipped = true;
            break;
        }
    if (!shipped)
        std::fprintf(stderr, "Outline font: no font file of the show found; using %s.\n", kSystemFace);

    // Character height 24, width 12, normal weight, TrueType outlines. The font
    // object stays selected for the life of the window.
    HFONT font = CreateFontA(-24, 12, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, shipped ? kShippedFace : kSystemFace);
    if (!font || !deviceContext) {
        std::fprintf(stderr, "Outline font: no font; the font lists stay empty.\n");
        return false;
    }
    SelectObject(deviceContext, font);
    GLYPHMETRICSFLOAT metrics[kOutlineGlyphCount];
    if (!wglUseFontOutlinesA(deviceContext, 0, kOutlineGlyphCount, context.fontBase,
                             static_cast<float>(kOutlineDeviation), kOutlineExtrusion, WGL_FONT_POLYGONS, metrics)) {
        std::fprintf(stderr, "Outline font: the glyph outlines could not be made; the font lists stay empty.\n");
        return false;
    }
    for (int code = 0; code < kOutlineGlyphCount; ++code) {
        GlyphMetrics& m = context.glyphMetrics[code];
        m.blackBoxX = metrics[code].gmfBlackBoxX;
        m.blackBoxY = metrics[code].gmfBlackBoxY;
        m.originX = metrics[code].gmfptGlyphOrigin.x;
        m.originY = metrics[code].gmfptGlyphOrigin.y;
        m.advanceX = metrics[code].gmfCellIncX;
        m.advanceY = metrics[code].gmfCellIncY;
    }
    return shipped;
}

void createOutlineFont(RenderResources& context) { createOutlineFontFrom(context, outlineFontFiles()); }
