// The scene object: construction defaults and the init that loads every asset in
// a fixed order, with its progress marks on standard output.
#include "scene/part_start.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/render_targets.h"
#include "render/textures.h"
#include "runtime/startup.h"

namespace {

std::string shaderPath(const char* name) { return std::string("PostProcessing/") + name + kShaderEnding; }

void progress(const char* mark)
{
    std::printf("%s\n", mark);
    std::fflush(stdout);
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
    loadJpegTexture(ctx, "textures/paper.jpg", base + 412);
    loadJpegTexture(ctx, "textures/blob41b.jpg", base + 10);
    progress("111");

    loadJpegTexture(ctx, "textures/hole.jpg", base + 100);
}
