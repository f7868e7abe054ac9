// Outline glyphs as data: each character's flattened contours and filled
// triangles in em units, with its metrics, which is what the outline font's
// display lists are compiled from. FreeType and the GLU tessellator make them
// (outline_font_freetype.cpp); the build writes them into the asset tree for the
// browser, which has neither (outline_font_web.cpp reads them).
#pragma once
#include <string>
#include <vector>

#include "render/render_resources.h"

struct OutlinePoint {
    double x, y;
};

struct OutlineGlyph {
    bool present = false;        // the face has an outline for the code
    bool materialOnLeft = false; // ink left of the contours' direction (reversed fill)
    std::vector<std::vector<OutlinePoint>> contours;
    std::vector<OutlinePoint> triangles; // three points each, counter-clockwise from +z
    GlyphMetrics metrics;
};

// Where the build puts the file in the show's asset tree.
constexpr const char* kOutlineGlyphFile = "fonts/outline_glyphs.bin";

// Codes 0 .. glyphs.size() - 1, little-endian, doubles as they are. False when the
// file cannot be written whole.
bool writeOutlineGlyphs(const std::string& path, const std::vector<OutlineGlyph>& glyphs);
// False, with the reason, for a missing, short or inconsistent file; every count
// is checked against what is left of the file before anything is allocated.
bool readOutlineGlyphs(const std::string& path, std::vector<OutlineGlyph>& glyphs, std::string& error);

// The glyphs of the first usable face of `fontFiles`: codes 0 .. kOutlineGlyphCount
// - 1 (FreeType builds only: outline_font_freetype.cpp).
bool buildOutlineGlyphs(const std::vector<std::string>& fontFiles, std::vector<OutlineGlyph>& glyphs);
