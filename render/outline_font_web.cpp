// The outline font in the browser: no font rasteriser or tessellator is built for
// the web, and the show draws nothing with the font lists, so they stay empty as
// they do on a desktop without a usable face (one line on stderr says so).
#ifdef __EMSCRIPTEN__ // the native build still globs this folder until it lists the web backend
#include "render/outline_font.h"

#include <cstdio>

const std::vector<std::string>& outlineFontFiles()
{
    static const std::vector<std::string> none;
    return none;
}

bool createOutlineFontFrom(DemoContext& context, const std::vector<std::string>&)
{
    context.fontBase = 0;
    std::fprintf(stderr, "Outline font: not built in the browser; the font lists stay empty.\n");
    return false;
}

void createOutlineFont(DemoContext& context) { createOutlineFontFrom(context, outlineFontFiles()); }
#endif
