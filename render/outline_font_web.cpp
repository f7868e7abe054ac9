// Outline font in the browser: no FreeType here; the glyphs come tessellated in
// the asset tree.
#include "render/outline_font.h"

#include "render/gl_api.h"

#include <cstdio>

const std::vector<std::string>& outlineFontFiles()
{
    static const std::vector<std::string> files = {"fonts/outline_glyphs.bin"};
    return files;
}

bool createOutlineFontFrom(RenderResources& context, const std::vector<std::string>&)
{
    context.fontBase = 0;
    std::fprintf(stderr, "Outline font: not built yet; the font lists stay empty.\n");
    return false;
}

void createOutlineFont(RenderResources& context) { createOutlineFontFrom(context, outlineFontFiles()); }
