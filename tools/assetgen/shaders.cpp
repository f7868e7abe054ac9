// The fragment programs. The vertex stage is fixed-function, so texture
// coordinates arrive in gl_TexCoord[0] and the current colour in gl_Color.
#include "tools/assetgen/shaders.h"

namespace {

// Paper with holes: the holes layer is drawn additively into a black target, so
// it is 0 on untouched paper and about 1 inside a blot. The cut follows the
// middle of the blot's soft rim, pushed about by the paper's own fibres so the
// edge looks torn, with a slightly darker band just outside it.
const char* kMaterial = R"(#version 120
// Paper sheet with holes cut where the holes layer is bright.
uniform sampler2D texture2d_1;      // paper, repeating
uniform sampler2D texture2d_blend;  // holes layer, in window coordinates
uniform vec3 ScreenSize;            // render width, height, unused

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec3 paper = texture2D(texture2d_1, uv).rgb * gl_Color.rgb;
    vec2 screenUv = gl_FragCoord.xy / max(ScreenSize.xy, vec2(1.0));
    float holes = texture2D(texture2d_blend, screenUv).r;

    // Fibres of the paper at two scales roughen the cut line.
    float fibre = texture2D(texture2d_1, uv * 3.7 + vec2(0.31, 0.17)).g
                + texture2D(texture2d_1, uv * 9.1 + vec2(0.73, 0.41)).g;
    float ragged = holes + (fibre - 1.79) * 2.5;

    float cut = smoothstep(0.46, 0.54, ragged);
    float rim = smoothstep(0.18, 0.46, ragged) * (1.0 - cut);
    paper *= 1.0 - 0.32 * rim;
    gl_FragColor = vec4(paper, (1.0 - cut) * gl_Color.a);
}
)";

// Final composition: graphite-toned picture, drifting paper grain from the noise
// texture, soft vignette. "texture2d_2" and "texture1d_dsp" are bound by the
// scene but deliberately not read: nothing fills them with anything definite.
const char* kFinal = R"(#version 120
// Final composition: pencil-on-paper finish of the main pass.
uniform sampler2D texture2d_1;       // the main pass
uniform sampler2D texture2d_random;  // 1024 x 1024 noise
uniform sampler2D texture2d_2;       // bound by the scene, not read
uniform sampler1D texture1d_dsp;     // bound by the scene, not read
uniform float Limit;                 // developer nudge: extra contrast, 0 in the show
uniform float time;                  // scene seconds

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec3 c = texture2D(texture2d_1, uv).rgb;

    // Graphite tone: keep a little of the colour, lean the greys warm.
    float l = dot(c, vec3(0.299, 0.587, 0.114));
    vec3 tone = mix(vec3(l), c, 0.6) * vec3(1.0, 0.985, 0.955);

    // Paper grain: the noise texture magnified so it reads as tooth, not static,
    // drifting slowly; graphite (dark) areas catch more of it.
    vec2 g1 = uv * vec2(0.72, 0.405) + vec2(time * 0.0021, time * 0.0013);
    vec2 g2 = uv * vec2(1.9, 1.07) - vec2(time * 0.0009, time * 0.0017);
    float grain = (texture2D(texture2d_random, g1).r - 0.5) * 0.6
                + (texture2D(texture2d_random, g2).g - 0.5) * 0.4;
    tone += grain * (0.035 + 0.07 * (1.0 - l));

    tone = mix(tone, tone * tone * (3.0 - 2.0 * tone), clamp(Limit, 0.0, 1.0));

    // Soft vignette, a touch stronger in the corners.
    vec2 d = (uv - 0.5) * vec2(1.0, 0.8);
    float v = 1.0 - smoothstep(0.18, 0.62, dot(d, d) * 1.6);
    tone *= mix(0.78, 1.0, v);

    gl_FragColor = vec4(clamp(tone, 0.0, 1.0), 1.0);
}
)";

// A small blur: a centre tap and two taps on each axis, weighted as a separable
// 1-2-1 kernel would be along each direction.
const char* kSimpleBlur = R"(#version 120
// Small separable-looking blur of texture2d_1.
uniform sampler2D texture2d_1;
uniform vec3 ScreenSize;  // texel size from the render size; 1280 x 720 if unset

void main()
{
    vec2 size = ScreenSize.x > 0.0 ? ScreenSize.xy : vec2(1280.0, 720.0);
    vec2 px = 1.0 / size;
    vec2 uv = gl_TexCoord[0].xy;
    vec4 sum = texture2D(texture2d_1, uv) * 0.36;
    sum += texture2D(texture2d_1, uv + vec2(px.x * 1.5, 0.0)) * 0.16;
    sum += texture2D(texture2d_1, uv - vec2(px.x * 1.5, 0.0)) * 0.16;
    sum += texture2D(texture2d_1, uv + vec2(0.0, px.y * 1.5)) * 0.16;
    sum += texture2D(texture2d_1, uv - vec2(0.0, px.y * 1.5)) * 0.16;
    gl_FragColor = sum * gl_Color;
}
)";

} // namespace

const std::vector<std::string>& shaderFiles()
{
    static const std::vector<std::string> list = {
        "PostProcessing/f_material1.glsl", "PostProcessing/f_blurpass.glsl", "PostProcessing/f_simpleblur.glsl"};
    return list;
}

std::string shaderText(const std::string& file)
{
    if (file == "PostProcessing/f_material1.glsl")
        return kMaterial;
    if (file == "PostProcessing/f_blurpass.glsl")
        return kFinal;
    if (file == "PostProcessing/f_simpleblur.glsl")
        return kSimpleBlur;
    return {};
}
