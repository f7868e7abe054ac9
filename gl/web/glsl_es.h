// Shader text for the web layer: the show's desktop GLSL 1.x fragment programs
// rewritten to GLSL ES 3.00, and the generated vertex and fragment stages that
// stand in for fixed-function GL. Text only; programs_web.cpp compiles it.
#pragma once
#include <string>

namespace glsles {

// Names shared by the generated stages and the rewritten fragment programs.
// Vertex inputs (attribute locations are bound to these indices before linking).
enum Attribute { position = 0, colour, normal, texCoord, corner, attributeCount };
const char* attributeName(int attribute);

// What picks a generated vertex stage.
struct VertexKey {
    bool lighting = false;       // colour from light 0 and the material instead of the vertex
    bool colourMaterial = false; // ambient and diffuse material follow the vertex colour
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
