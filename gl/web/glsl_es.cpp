// GLSL ES 3.00 text for the web layer. The rewriter works on tokens, not on a
// syntax tree: it renames the desktop built-ins and functions, drops the version
// line and turns texture1D calls into 2D lookups on the middle row of the texture.
#include "gl/web/glsl_es.h"

#include <cctype>
#include <cstring>

namespace glsles {

namespace {

const char* kAttributeNames[attributeCount] = {"zr_position", "zr_colour", "zr_normal", "zr_texCoord",
                                                "zr_corner"};

const char* kPrologue = "#version 300 es\n"
                        "precision highp float;\n"
                        "precision highp int;\n"
                        "precision highp sampler2D;\n";

bool identStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool identChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Index just past the parenthesis that closes the one at `open`, or npos.
size_t matchingParen(const std::string& s, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < s.size(); ++i) {
        if (s[i] == '(')
            ++depth;
        else if (s[i] == ')' && --depth == 0)
            return i + 1;
    }
    return std::string::npos;
}

// Splits "a, f(b, c), d" at its top-level commas.
void splitArguments(const std::string& args, std::string out[3], int& count)
{
    count = 0;
    int depth = 0;
    std::string current;
    for (char c : args) {
        if (c == '(' || c == '[')
            ++depth;
        else if (c == ')' || c == ']')
            --depth;
        if (c == ',' && depth == 0) {
            if (count < 3)
                out[count] = current;
            ++count;
            current.clear();
            continue;
        }
        current += c;
    }
    if (count < 3)
        out[count] = current;
    ++count;
}

} // namespace

const char* attributeName(int attribute)
{
    return attribute >= 0 && attribute < attributeCount ? kAttributeNames[attribute] : "";
}

namespace {

// The arithmetic repeats GL's (and the order of its float operations that the
// layer's pictures were checked with): window positions from clip space, offsets
// in pixels turned back into clip space at the vertex's own w.
std::string wideningShader(Widen widen)
{
    std::string s = kPrologue;
    s += "in float zr_corner;\n"
         "uniform highp sampler2D zr_ends;\n"
         "uniform int zr_endTexels;\n"
         "uniform mat4 zr_textureMatrix;\n"
         "uniform vec4 zr_viewport;\n"
         "uniform vec2 zr_expand;\n"
         "out vec4 zv_color;\n"
         "out vec4 zv_texCoord0;\n"
         "out vec2 zv_corner;\n"
         "vec2 windowOf(vec4 p) { return (p.xy / p.w + 1.0) * 0.5 * zr_viewport.zw + zr_viewport.xy; }\n"
         "vec4 endPart(int end, int part) {\n"
         "    if (part >= zr_endTexels) return vec4(0.0, 0.0, 0.0, 1.0);\n"
         "    return texelFetch(zr_ends, ivec2(end % " + std::to_string(kEndsPerRow) +
         " * zr_endTexels + part, end / " + std::to_string(kEndsPerRow) + "), 0);\n"
         "}\n"
         "void main() {\n"
         "    int number = int(zr_corner);\n"
         "    int corner = number % 4;\n"
         "    int quad = number / 4;\n";
    if (widen == Widen::lines) {
        s += "    vec4 a = endPart(quad, 0), ac = endPart(quad, 1), at = endPart(quad, 2);\n"
             "    vec4 b = endPart(quad + 1, 0), bc = endPart(quad + 1, 1), bt = endPart(quad + 1, 2);\n"
             // Near plane (z >= -w); the other planes are the rasteriser's, which
             // clips the quad where it would have clipped the line.
             "    float da = a.z + a.w, db = b.z + b.w;\n"
             "    bool keep = da >= 0.0 || db >= 0.0;\n"
             "    if (da < 0.0) {\n"
             "        float t = da / (da - db);\n"
             "        a = a + (b - a) * t; ac = ac + (bc - ac) * t; at = at + (bt - at) * t;\n"
             "    } else if (db < 0.0) {\n"
             "        float t = db / (db - da);\n"
             "        b = b + (a - b) * t; bc = bc + (ac - bc) * t; bt = bt + (at - bt) * t;\n"
             "    }\n"
             "    keep = keep && a.w > 0.0 && b.w > 0.0;\n"
             "    vec2 d = windowOf(b) - windowOf(a);\n"
             "    keep = keep && (d.x != 0.0 || d.y != 0.0);\n"
             "    float reach = max(zr_expand.x, 1.0) * 0.5;\n"
             // GL widens an aliased line along its minor axis, not across it; a
             // multisampled one is a true rectangle.
             "    vec2 o = zr_expand.y > 0.5 ? vec2(-d.y, d.x) / length(d) * reach\n"
             "           : abs(d.x) >= abs(d.y) ? vec2(0.0, reach) : vec2(reach, 0.0);\n"
             // An aliased quad lights the pixels whose centres it holds. One whose
             // box holds no centre (most segments of a small picture) is sent out
             // of the clip volume, where the rasteriser drops it before setting it
             // up. The box is widened by 1/16 pixel, more than a rasteriser's
             // snapping to its sub-pixel grid can move a corner (GL asks for at
             // least 4 sub-pixel bits).
             "    if (zr_expand.y < 0.5) {\n"
             "        vec2 wa = windowOf(a), wb = windowOf(b);\n"
             "        vec2 low = ceil(min(wa, wb) - abs(o) - 0.5625), high = floor(max(wa, wb) + abs(o) - 0.4375);\n"
             "        keep = keep && all(lessThanEqual(low, high));\n"
             "    }\n"
             "    bool atB = corner == 1 || corner == 2;\n"
             "    vec4 p = atB ? b : a;\n"
             "    vec2 offset = corner < 2 ? -o : o;\n"
             "    vec4 colour = atB ? bc : ac;\n"
             "    vec4 texCoord = atB ? bt : at;\n"
             "    zv_corner = vec2(0.0);\n";
    } else {
        s += "    vec4 p = endPart(quad, 0);\n"
             "    bool keep = p.w > 0.0 && abs(p.x) <= p.w && abs(p.y) <= p.w && abs(p.z) <= p.w;\n"
             "    float size = max(zr_expand.x, 1.0);\n"
             "    float reach = size * 0.5;\n"
             "    vec2 centre = vec2(0.0);\n"
             "    if (zr_expand.y < 0.5) {\n"
             // An aliased point of odd size centres on the pixel it falls in, one
             // of even size on the nearest pixel corner; a whole number of pixels
             // is lit.
             "        vec2 w = windowOf(p);\n"
             "        float n = floor(size + 0.5);\n"
             "        reach = n * 0.5;\n"
             "        centre = (mod(n, 2.0) == 1.0 ? floor(w) + 0.5 : floor(w + 0.5)) - w;\n"
             "    } else if (zr_expand.y > 1.5) {\n"
             "        reach += 0.5;\n"
             "    }\n"
             "    vec2 side = vec2(corner == 1 || corner == 2 ? 1.0 : -1.0, corner >= 2 ? 1.0 : -1.0);\n"
             "    vec2 offset = centre + side * reach;\n"
             "    vec4 colour = endPart(quad, 1);\n"
             "    vec4 texCoord = endPart(quad, 2);\n"
             "    zv_corner = zr_expand.y > 1.5 ? side * reach : vec2(0.0);\n";
    }
    s += "    p.xy += offset * 2.0 / zr_viewport.zw * p.w;\n"
         // Every corner at one point outside the clip volume: nothing is drawn.
         "    gl_Position = keep ? p : vec4(2.0, 2.0, 2.0, 1.0);\n"
         "    zv_color = clamp(colour, 0.0, 1.0);\n"
         "    zv_texCoord0 = zr_textureMatrix * texCoord;\n"
         "}\n";
    return s;
}

} // namespace

std::string vertexShader(const VertexKey& key)
{
    if (key.widen != Widen::none)
        return wideningShader(key.widen);
    std::string s = kPrologue;
    s += "in vec4 zr_position;\n"
         "in vec4 zr_colour;\n"
         "in vec3 zr_normal;\n"
         "in vec4 zr_texCoord;\n"
         "uniform mat4 zr_modelview;\n"
         "uniform mat4 zr_projection;\n"
         "uniform mat4 zr_textureMatrix;\n"
         "out vec4 zv_color;\n"
         "out vec4 zv_texCoord0;\n"
         "out vec2 zv_corner;\n";
    if (key.lighting) {
        s += "uniform mat3 zr_normalMatrix;\n"
             "uniform vec4 zr_lightPosition;\n" // eye space, as glLightfv stored it
             "uniform vec4 zr_lightAmbient;\n"
             "uniform vec4 zr_lightDiffuse;\n"
             "uniform vec4 zr_lightSpecular;\n"
             "uniform float zr_lightEnabled;\n"
             "uniform vec4 zr_materialAmbient;\n"
             "uniform vec4 zr_materialDiffuse;\n"
             "uniform vec4 zr_materialSpecular;\n"
             "uniform vec4 zr_materialEmission;\n"
             "uniform float zr_materialShininess;\n"
             "uniform vec4 zr_lightModelAmbient;\n";
    }
    s += "void main() {\n"
         "    vec4 eye = zr_modelview * zr_position;\n"
         "    gl_Position = zr_projection * eye;\n"
         "    zv_texCoord0 = zr_textureMatrix * zr_texCoord;\n"
         "    zv_corner = vec2(0.0);\n";
    if (key.lighting) {
        s += key.colourMaterial ? "    vec4 ambient = zr_colour;\n    vec4 diffuse = zr_colour;\n"
                                : "    vec4 ambient = zr_materialAmbient;\n    vec4 diffuse = zr_materialDiffuse;\n";
        // As GL without GL_NORMALIZE: the normal is transformed but not rescaled.
        // The light direction serves positional (w 1) and directional (w 0) lights.
        s += "    vec3 n = zr_normalMatrix * zr_normal;\n"
             "    vec3 l = normalize(zr_lightPosition.xyz * eye.w - eye.xyz * zr_lightPosition.w);\n"
             "    float nl = max(dot(n, l), 0.0);\n"
             "    vec3 c = zr_materialEmission.rgb + zr_lightModelAmbient.rgb * ambient.rgb;\n"
             "    vec3 lit = zr_lightAmbient.rgb * ambient.rgb + nl * zr_lightDiffuse.rgb * diffuse.rgb;\n"
             "    if (nl > 0.0) {\n"
             "        float nh = max(dot(n, normalize(l + vec3(0.0, 0.0, 1.0))), 0.0);\n"
             "        float f = zr_materialShininess == 0.0 ? 1.0 : pow(nh, zr_materialShininess);\n"
             "        lit += f * zr_lightSpecular.rgb * zr_materialSpecular.rgb;\n"
             "    }\n"
             "    c += zr_lightEnabled * lit;\n"
             "    zv_color = vec4(clamp(c, 0.0, 1.0), clamp(diffuse.a, 0.0, 1.0));\n";
    } else {
        s += "    zv_color = clamp(zr_colour, 0.0, 1.0);\n";
    }
    s += "}\n";
    return s;
}

std::string fixedFragmentShader(const FixedFragmentKey& key)
{
    std::string s = kPrologue;
    s += "in vec4 zv_color;\n"
         "in vec4 zv_texCoord0;\n"
         "in vec2 zv_corner;\n"
         "uniform sampler2D zr_texture0;\n"
         "uniform float zr_pointRadius;\n"
         "layout(location = 0) out vec4 zf_fragColor;\n"
         "void main() {\n"
         "    vec4 c = zv_color;\n";
    if (key.texture2d)
        s += "    c *= texture(zr_texture0, zv_texCoord0.xy / zv_texCoord0.w);\n";
    if (key.smoothPoint) {
        // Mesa lights the pixels whose centres fall inside the disc, without a
        // graded rim; so does this.
        s += "    if (length(zv_corner) > zr_pointRadius) discard;\n";
    }
    s += "    zf_fragColor = c;\n"
         "}\n";
    return s;
}

namespace {

std::string rewriteBody(const std::string& desktop)
{
    std::string body;
    body.reserve(desktop.size() + 256);
    const size_t n = desktop.size();
    size_t i = 0;
    while (i < n) {
        const char c = desktop[i];
        // Comments pass through untouched.
        if (c == '/' && i + 1 < n && desktop[i + 1] == '/') {
            const size_t end = desktop.find('\n', i);
            const size_t stop = end == std::string::npos ? n : end;
            body.append(desktop, i, stop - i);
            i = stop;
            continue;
        }
        if (c == '/' && i + 1 < n && desktop[i + 1] == '*') {
            const size_t end = desktop.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? n : end + 2;
            body.append(desktop, i, stop - i);
            i = stop;
            continue;
        }
        // The version line is ours; extensions of desktop GLSL mean nothing here.
        if (c == '#') {
            size_t k = i + 1;
            while (k < n && (desktop[k] == ' ' || desktop[k] == '\t'))
                ++k;
            if (desktop.compare(k, 7, "version") == 0 || desktop.compare(k, 9, "extension") == 0) {
                const size_t end = desktop.find('\n', i);
                i = end == std::string::npos ? n : end;
                continue;
            }
        }
        if (!identStart(c) || (i > 0 && identChar(desktop[i - 1]))) {
            body += c;
            ++i;
            continue;
        }
        size_t end = i;
        while (end < n && identChar(desktop[end]))
            ++end;
        const std::string word = desktop.substr(i, end - i);
        i = end;
        if (word == "gl_FragColor") {
            body += "zf_fragColor";
        } else if (word == "gl_Color") {
            body += "zv_color";
        } else if (word == "varying") {
            body += "in";
        } else if (word == "sampler1D") {
            body += "sampler2D";
        } else if (word == "texture2D") {
            body += "texture";
        } else if (word == "texture2DProj") {
            body += "textureProj";
        } else if (word == "texture2DLod") {
            body += "textureLod";
        } else if (word == "texture") {
            // A built-in function in GLSL ES 3.00, an ordinary name before it.
            body += "zr_user_texture";
        } else if (word == "gl_FragData" && desktop.compare(i, 3, "[0]") == 0) {
            body += "zf_fragColor"; // one draw buffer is all the layer writes
            i += 3;
        } else if (word == "gl_TexCoord") {
            size_t k = i;
            while (k < n && std::isspace(static_cast<unsigned char>(desktop[k])))
                ++k;
            size_t close = k < n && desktop[k] == '[' ? desktop.find(']', k) : std::string::npos;
            std::string index = close != std::string::npos ? desktop.substr(k + 1, close - k - 1) : "";
            while (!index.empty() && std::isspace(static_cast<unsigned char>(index.back())))
                index.pop_back();
            while (!index.empty() && std::isspace(static_cast<unsigned char>(index.front())))
                index.erase(0, 1);
            if (index == "0") {
                body += "zv_texCoord0";
                i = close + 1;
            } else if (!index.empty() && index.find_first_not_of("0123456789") == std::string::npos) {
                body += "vec4(0.0, 0.0, 0.0, 1.0)";
                i = close + 1;
            } else {
                body += "zv_texCoord0"; // a computed index: only set 0 exists
                if (close != std::string::npos)
                    i = close + 1;
            }
        } else if (word == "texture1D") {
            size_t open = i;
            while (open < n && std::isspace(static_cast<unsigned char>(desktop[open])))
                ++open;
            const size_t close = open < n && desktop[open] == '(' ? matchingParen(desktop, open) : std::string::npos;
            if (close == std::string::npos) {
                body += "texture";
                continue;
            }
            // The arguments themselves may hold desktop names: rewrite them first.
            const std::string args = rewriteBody(desktop.substr(open + 1, close - open - 2));
            std::string parts[3];
            int count = 0;
            splitArguments(args, parts, count);
            body += "texture(" + parts[0] + ", vec2(" + parts[1] + ", 0.5)";
            if (count > 2)
                body += ", " + parts[2];
            body += ")";
            i = close;
        } else {
            body += word;
        }
    }
    return body;
}

} // namespace

std::string uniformName(const std::string& desktop)
{
    if (desktop == "texture" || desktop.compare(0, 8, "texture[") == 0 || desktop.compare(0, 8, "texture.") == 0)
        return "zr_user_" + desktop;
    return desktop;
}

std::string rewriteFragmentShader(const std::string& desktop)
{
    std::string out = kPrologue;
    out += "in vec4 zv_color;\n"
           "in vec4 zv_texCoord0;\n"
           "layout(location = 0) out vec4 zf_fragColor;\n";
    out += rewriteBody(desktop);
    return out;
}

} // namespace glsles
