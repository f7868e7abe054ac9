// The outline font in the browser: no font rasteriser or tessellator is built for
// the web, the WebGL layer has no display lists, and the show draws nothing with
// the font lists, so they stay empty as they do on a desktop without a usable face
// (one line on stderr says so).
#include "render/outline_font.h"

#include <cstdio>

const std::vector<std::string>& outlineFontFiles()
{
    static const std::vector<std::string> none;
    return none;
}

bool createOutlineFontFrom(RenderResources& context, const std::vector<std::string>&)
{
    context.fontBase = 0;
    std::fprintf(stderr, "Outline font: not built in the browser; the font lists stay empty.\n");
    return false;
}

void createOutlineFont(RenderResources& context) { createOutlineFontFrom(context, outlineFontFiles()); }
