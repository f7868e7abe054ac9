// The outline font in the browser: no font rasteriser or tessellator here; the
// glyphs come tessellated in the asset tree (render/outline_glyphs.h), made by
// the same FreeType and GLU code as on Linux, so the metrics are the same. The
// WebGL layer has no display lists, so the lists stay empty; the show draws
// nothing with them.
#include "render/outline_font.h"
#include "render/outline_glyphs.h"

#include <algorithm>
#include <cstdio>

const std::vector<std::string>& outlineFontFiles()
{
    static const std::vector<std::string> files = {kOutlineGlyphFile};
    return files;
}

bool createOutlineFontFrom(RenderResources& context, const std::vector<std::string>& glyphFiles)
{
    context.fontBase = 0;
    std::vector<OutlineGlyph> glyphs;
    std::string error;
    for (const std::string& file : glyphFiles) {
        if (!readOutlineGlyphs(file, glyphs, error))
            continue;
        const size_t count = std::min<size_t>(glyphs.size(), kOutlineGlyphCount);
        for (size_t code = 0; code < count; ++code)
            if (glyphs[code].present)
                context.glyphMetrics[code] = glyphs[code].metrics;
        return true;
    }
    std::fprintf(stderr, "Outline font: %s; the font lists stay empty.\n",
                 error.empty() ? "no glyph file" : error.c_str());
    return false;
}

void createOutlineFont(RenderResources& context) { createOutlineFontFrom(context, outlineFontFiles()); }
