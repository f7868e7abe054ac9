// The outline font: 256 GL display lists (the first 123 character codes filled),
// each drawing one glyph as flat polygons extruded 0.1 deep along -z and then
// moving to the next character's origin, plus the glyph metrics of each code.
// Built by FreeType and the GLU tessellator (outline_font_freetype.cpp) or by
// WGL from a face shipped in the show's fonts/ folder (outline_font_win32.cpp).
#pragma once
#include <string>
#include <vector>

#include "render/render_resources.h"

// Sans-serif font files tried in order, first readable one wins.
const std::vector<std::string>& outlineFontFiles();

// Reserves the lists into context.fontBase and fills them from the first face of
// outlineFontFiles(); without any, the lists stay empty and one line goes to stderr.
void createOutlineFont(RenderResources& context);

// The same with an explicit list of candidate font files; false when none loaded.
bool createOutlineFontFrom(RenderResources& context, const std::vector<std::string>& fontFiles);

// Glyphs in units of the font's em square; codes 0 .. kOutlineGlyphCount - 1 are built.
constexpr int kOutlineGlyphCount = 123;
constexpr float kOutlineExtrusion = 0.1f;
constexpr double kOutlineDeviation = 0.001; // largest distance of a curve from its chords
