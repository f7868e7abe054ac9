// Shader text for the web layer: the show's desktop GLSL 1.x fragment programs
// rewritten to GLSL ES 3.00, and the generated vertex and fragment stages that
// stand in for fixed-function GL. Text only; programs_web.cpp compiles it.
#pragma once
#include <string>

namespace glsles {

// Names shared by the generated stages and the rewritten fragment programs.
// Vertex inputs (attribute locations are bound to these indices before linking):
// a vertex's own, and the widening stages' vertex number.
enum Attribute { position = 0, colour, normal, texCoord, corner, attributeCount };
const char* attributeName(int attribute);

// Wide lines and points are quads, triangles 0 1 2 and 0 2 3 of their corners 0
// to 3, one per segment (ends A and B: corners 0 and 3 at A, 1 and 2 at B) or per
// point. Vertex number n (the `corner` input, a float) is corner n % 4 of quad
// n / 4; quad q is the segment from end q to end q + 1, or point q. The ends
// (fixedgl::ClipVertex: clip-space position, colour, texture coordinates, each a
// texel; `zr_endTexels` 2 leaves the coordinates out, for a fragment stage that
// reads none) lie in the RGBA32F texture `zr_ends`, kEndsPerRow ends to a row: one
// draw of plain triangles, which software rasterisers run much faster than as
// many instances. The stage widens them in window space by GL's rules:
// a line `zr_expand.x` pixels across its minor axis, or a rectangle that wide
// into a multisampled buffer (`zr_expand.y` 1), clipped at the near plane first;
// a point a square of that size, snapped to the pixel grid when aliased (rule 0),
// off the grid into a multisampled buffer (1), or one pixel wider with `zv_corner`
// in pixels from its centre for the fragment stage's disc (2, smooth). Segments
// with an end at w <= 0 after clipping, or of no length, and points outside the
// clip volume draw nothing. `zr_viewport` is x, y, width, height.
enum class Widen { none, lines, points };
constexpr int kEndsPerRow = 512;

// What picks a generated vertex stage.
struct VertexKey {
    bool lighting = false;       // colour from light 0 and the material instead of the vertex
    bool colourMaterial = false; // ambient and diffuse material follow the vertex colour
    Widen widen = Widen::none;   // a widening stage (never lit) instead of the plain one
};

// What picks the generated fragment stage of the "no program" path.
struct FixedFragmentKey {
    bool texture2d = false;   // modulate by texture unit 0
    bool smoothPoint = false; // cut a disc from an expanded point
};

std::string vertexShader(const VertexKey& key);
std::string fixedFragmentShader(const FixedFragmentKey& key);

// A desktop fragment program (GLSL 1.10/1.20: reads gl_Color and gl_TexCoord[n],
// writes gl_FragColor or gl_FragData[0], samples with texture1D/texture2D) as
// GLSL ES 3.00 that links with vertexShader(). 1D samplers become 2D samplers of
// height 1. Texture coordinate sets other than 0 read GL's (0, 0, 0, 1): the show
// sends only set 0.
std::string rewriteFragmentShader(const std::string& desktop);
// The name a uniform of the desktop program has in its rewritten text.
std::string uniformName(const std::string& desktop);

} // namespace glsles
