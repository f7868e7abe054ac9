// outlineglyphs OUT.bin FONT.ttf: the outline font's glyphs as FreeType and the
// GLU tessellator make them for the Linux build, written for the browser build,
// which has neither (render/outline_glyphs.h). Exit 1 when the face cannot be
// read or the file cannot be written.
#include <cstdio>

#include "render/outline_glyphs.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: outlineglyphs OUT.bin FONT.ttf\n");
        return 2;
    }
    std::vector<OutlineGlyph> glyphs;
    if (!buildOutlineGlyphs({argv[2]}, glyphs))
        return 1;
    if (!writeOutlineGlyphs(argv[1], glyphs)) {
        std::fprintf(stderr, "outlineglyphs: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
