// The scene object: construction defaults and the init that loads every asset in
// a fixed order, with its progress marks on standard output.
#include "scene/part_start.h"

#include "gl/gl_api.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/render_targets.h"
#include "render/textures.h"
#include "engine/startup.h"

namespace {

std::string shaderPath(const char* name) { return std::string("PostProcessing/") + name + kShaderEnding; }

void progress(const char* mark)
{
    std::printf("%s\n", mark);
    std::fflush(stdout);
}

// Level 0 of a texture as RGBA, read back from GL (left bound); empty when it
// has no size.
std::vector<uint8_t> textureRgba(uint32_t texture, int& width, int& height)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    width = w, height = h;
    if (w <= 0 || h <= 0)
        return {};
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return rgba;
}

// The largest green of a texture; 255 when it cannot be read.
int largestGreen(uint32_t texture)
{
    int width = 0, height = 0;
    const std::vector<uint8_t> rgba = textureRgba(texture, width, height);
    if (rgba.empty())
        return 255;
    int largest = 0;
    for (size_t i = 1; i < rgba.size(); i += 4)
        largest = std::max<int>(largest, rgba[i]);
    return largest;
}

// Boxes in texture coordinates (u0, v0, u1, v1) outside which linear filtering
// reads only texels that are zero in the given channels (a mask of R, G, B, A as
// bits 0 to 3): one box per strip of `strips` rows of texels that holds any
// other texel, reaching one texel beyond them, plus thin boxes at the far edge
// for texels on an edge, which a repeating texture reads across it. Nothing
// when every texel is zero; the whole texture when it cannot be read.
std::vector<std::array<float, 4>> contentBoxes(uint32_t texture, unsigned channels, int strips)
{
    int width = 0, height = 0;
    const std::vector<uint8_t> rgba = textureRgba(texture, width, height);
    if (rgba.empty())
        return {{0, 0, 1, 1}};
    const float du = 1.0f / static_cast<float>(width), dv = 1.0f / static_cast<float>(height);
    auto set = [&](int x, int y) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        for (int c = 0; c < 4; ++c)
            if ((channels >> c & 1) && p[c] != 0)
                return true;
        return false;
    };
    std::vector<std::array<float, 4>> boxes;
    const int rowsPerStrip = std::max(1, (height + strips - 1) / strips);
    for (int r0 = 0; r0 < height; r0 += rowsPerStrip) {
        const int r1 = std::min(height, r0 + rowsPerStrip);
        int lo = width, hi = -1, top = -1, bottom = height;
        for (int y = r0; y < r1; ++y)
            for (int x = 0; x < width; ++x)
                if (set(x, y)) {
                    lo = std::min(lo, x), hi = std::max(hi, x);
                    bottom = std::min(bottom, y), top = std::max(top, y);
                }
        if (hi < 0)
            continue;
        const float v0 = static_cast<float>(bottom - 1) * dv, v1 = static_cast<float>(top + 2) * dv;
        boxes.push_back({static_cast<float>(lo - 1) * du, v0, static_cast<float>(hi + 2) * du, v1});
        if (lo == 0)
            boxes.push_back({1 - du, v0, 1, v1});
        if (hi == width - 1)
            boxes.push_back({0, v0, du, v1});
        if (bottom == 0)
            boxes.push_back({static_cast<float>(lo - 1) * du, 1 - dv, static_cast<float>(hi + 2) * du, 1});
        if (top == height - 1)
            boxes.push_back({static_cast<float>(lo - 1) * du, 0, static_cast<float>(hi + 2) * du, dv});
    }
    for (std::array<float, 4>& b : boxes) {
        b[0] = std::max(b[0], 0.0f), b[1] = std::max(b[1], 0.0f);
        b[2] = std::min(b[2], 1.0f), b[3] = std::min(b[3], 1.0f);
    }
    return boxes;
}

// The eight corners of the box around a mesh's positions.
void boxCorners(const ObjMesh& mesh, float corners[24])
{
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (size_t i = 0; i + 2 < mesh.positions.size(); i += 3)
        for (int a = 0; a < 3; ++a) {
            const float v = mesh.positions[i + a];
            lo[a] = i == 0 ? v : std::min(lo[a], v);
            hi[a] = i == 0 ? v : std::max(hi[a], v);
        }
    for (int c = 0; c < 8; ++c) {
        corners[3 * c + 0] = c & 1 ? hi[0] : lo[0];
        corners[3 * c + 1] = c & 2 ? hi[1] : lo[1];
        corners[3 * c + 2] = c & 4 ? hi[2] : lo[2];
    }
}

} // namespace

parts* makeSceneStart() { return new part_start(); }

part_start::part_start() = default;

part_start::~part_start() = default;

void part_start::loadMesh(int slot, const char* file)
{
    meshSlots[slot].loadPolygons((std::string("newobjects/") + file).c_str());
}

void part_start::init(DemoContext& ctx)
{
    sceneTime = 0.0;
    sceneTextureBase = 0;

    // The camera keys come first: without them nothing else is loaded.
    if (!loadCameraKeys(kCameraKeyFile, cameraKeys))
        std::exit(kExitCameraKeys);

    loadMesh(8, "birdgood2.obj");
    handheld.load(kHandheldFile);
    loadMesh(7, "woman.obj");
    loadMesh(9, "end.obj");
    loadMesh(10, "torus.obj");
    loadMesh(11, "skeletonhand2.obj");
    antMesh.load("newobjects/GoodAnt.obj", false);
    loadMesh(13, "vellum.obj");
    loadMesh(12, "objectscougar.obj");
    loadMesh(4, "baseshape.obj");
    meshSlots[4].widthA = 1.5f;
    loadMesh(5, "baseshape2.obj");
    loadMesh(2, "title.obj");
    meshSlots[2].widthA = 1.2f;
    progress("3");

    loadMesh(17, "solid1.obj");
    meshSlots[17].widthA = 1.5f;
    loadMesh(6, "holder2.obj");
    meshSlots[6].reversePolygons();
    meshSlots[6].widthA = 1.5f;
    loadMesh(8, "birdgood2.obj");
    progress("4");

    loadMesh(15, "ant_Podi1.obj");
    loadMesh(16, "ant_Podi2.obj");
    loadMesh(14, "ant_Kormos.obj");
    loadMesh(1, "face.obj");
    objMeshes[3].load("newobjects/vellumgood.obj", false);
    boxCorners(objMeshes[3], figureBox);
    progress("5");

    revealStart = -9000.0;
    revealEnd = 0.0;
    sceneTime = 0.0;
    for (uint8_t& flag : oneShot)
        flag = 0;

    materialProgram = 1;
    programB = 23;
    programC = 22;
    programD = 3;
    finalProgram = 4;
    programF = 5;
    programG = 6;
    blurProgram = 13;
    programI = 7;
    shaders.loadProgram(shaderPath("f_blurpass"), finalProgram);
    shaders.loadProgram(shaderPath("f_simpleblur"), blurProgram);
    shaders.loadProgram(shaderPath("f_simpleblur"), blurProgram);
    shaders.loadProgram(shaderPath("f_material1"), materialProgram);
    progress("dd1");

    const int base = sceneTextureBase;
    sceneTex = base + 0;
    holesTex = base + 11;
    secondTex = base + 26;
    noiseTex = base + 27;
    quarterTex = base + 28;
    spareTex = base + 29;
    makeNoiseTexture(ctx, noiseTex, 1024, 1024);
    makeRenderTexture(ctx, sceneTex, ctx.renderWidth, ctx.renderHeight);
    makeRenderTexture(ctx, quarterTex, ctx.renderWidth / 4, ctx.renderHeight / 4);
    makeRenderTexture(ctx, holesTex, ctx.renderWidth, ctx.renderHeight);
    attachTexture(ctx, 0, 0, sceneTex);
    attachTexture(ctx, 1, 0, holesTex);
    makeDspTexture();

    loadJpegTextureWithAlpha(ctx, "textures/hand.jpg", "textures/handalpha.jpg", base + 410);
    loadJpegTextureWithAlpha(ctx, "textures/handalpha.jpg", "textures/handalpha.jpg", base + 411);
    loadJpegTextureWithAlpha(ctx, "textures/stroke_D_1.jpg", "textures/stroke_D_1_ALPHA.jpg", base + 510);
    loadJpegTextureWithAlpha(ctx, "textures/stroke_D_1_SHD.jpg", "textures/stroke_D_1_SHD.jpg", base + 511);
    loadJpegTextureWithAlpha(ctx, "textures/stroke_D_2.jpg", "textures/stroke_D_2_ALPHA.jpg", base + 512);
    loadJpegTextureWithAlpha(ctx, "textures/stroke_D_2_SHD.jpg", "textures/stroke_D_2_SHD.jpg", base + 513);
    // Pictures blend by their alpha, shadows darken by their colour.
    for (int i = 0; i < 4; ++i)
        pencilBoxes[i] = contentBoxes(textureName(ctx, base + 510 + i), i % 2 ? 0x7u : 0x8u, kPencilStrips);
    loadJpegTexture(ctx, "textures/paper.jpg", base + 412);
    paperOpaqueWithoutHoles = largestGreen(textureName(ctx, base + 412)) <= kOpaquePaperGreen;
    loadJpegTexture(ctx, "textures/blob41b.jpg", base + 10);
    progress("111");

    loadJpegTexture(ctx, "textures/hole.jpg", base + 100);
}
