// Start-up cost of the whole show, split the way it is spent: reading the meshes,
// decoding the JPEG textures, uploading them to GL, and the scene's complete init
// (which does all of it in its fixed order, plus shaders and generated textures).
// Run from the show folder under a display: `cd build/show && ../bench/startup_bench`.
#include <GL/glew.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "formats/jpeg_decoder.h"
#include "audio/sound.h"
#include "formats/obj_mesh.h"
#include "render/render_targets.h"
#include "render/textures.h"
#include "scene/part_start.h"
#include "scene/poly_mesh.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

const char* const kPolyMeshes[] = {
    "face", "title", "baseshape", "baseshape2", "holder2", "woman", "birdgood2", "end", "torus",
    "skeletonhand2", "objectscougar", "vellum", "ant_Kormos", "ant_Podi1", "ant_Podi2", "solid1"};
const char* const kTextures[] = {
    "hand", "handalpha", "stroke_D_1", "stroke_D_1_ALPHA", "stroke_D_1_SHD", "stroke_D_2",
    "stroke_D_2_ALPHA", "stroke_D_2_SHD", "paper", "blob41b", "hole"};

// Decodes every texture file once (the pairs decode some files twice in the show).
double decodeAll(long long& pixels)
{
    auto start = Clock::now();
    for (const char* name : kTextures) {
        std::string path = std::string("textures/") + name + ".jpg";
        jpeg_decoder_file_stream stream;
        if (!stream.open(path.c_str()))
            continue;
        JpegDecoder decoder(&stream, true);
        if (decoder.errorCode() || decoder.begin() != 0)
            continue;
        const uint8_t* row;
        uint32_t bytes;
        while (decoder.decodeLine(&row, &bytes) == 0) {
        }
        pixels += static_cast<long long>(decoder.width()) * decoder.height();
    }
    return secondsSince(start);
}

} // namespace

int main()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "startup_bench: no display (%s)\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_Window* window = SDL_CreateWindow("startup", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "startup_bench: no GL context (%s)\n", SDL_GetError());
        return 1;
    }
    glewInit();

    auto start = Clock::now();
    long long polygons = 0;
    for (const char* name : kPolyMeshes) {
        PolyMesh mesh;
        mesh.loadPolygons((std::string("newobjects/") + name + ".obj").c_str());
        polygons += static_cast<long long>(mesh.polygons.size());
    }
    ObjMesh ant, figures;
    ant.load("newobjects/GoodAnt.obj", false);
    figures.load("newobjects/vellumgood.obj", false);
    double meshSeconds = secondsSince(start);

    long long pixels = 0;
    double decodeSeconds = decodeAll(pixels);

    DemoContext ctx;
    start = Clock::now();
    int id = 100;
    for (const char* name : kTextures)
        loadJpegTexture(ctx, std::string("textures/") + name + ".jpg", id++);
    glFinish();
    double decodeAndUpload = secondsSince(start);

    DemoContext showContext;
    for (int i = 0; i < 3; ++i)
        createTarget(showContext, i, 1280, 720, i == 2 ? 0 : 4);
    part_start scene;
    start = Clock::now();
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout); // the init's progress marks and shader logs
    scene.init(showContext);
    glFinish();
    double initSeconds = secondsSince(start);
    if (quiet)
        std::fclose(quiet);

    // The two tracks, decoded side by side as start-up does.
    soundSetOutputMode(SoundOutputMode::Silent);
    start = Clock::now();
    FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS);
    SoundSample* music = nullptr;
    std::thread musicLoader([&music] { music = FSOUND_Sample_Load(FSOUND_FREE, "music/lanternsong.mp3", FSOUND_NORMAL, 0, 0); });
    SoundSample* ambient = FSOUND_Sample_Load(FSOUND_FREE, "music/pencil_bassy.mp3", FSOUND_NORMAL, 0, 0);
    musicLoader.join();
    double soundSeconds = secondsSince(start);
    FSOUND_Close();

    std::fprintf(stderr,
                 "music:           %7.1f ms  (both tracks decoded%s)\n", 1000 * soundSeconds,
                 music && ambient ? "" : ", one missing");
    std::fprintf(stderr,
                 "meshes:          %7.1f ms  (%lld polygons in 16 outline meshes, 2 drawn meshes)\n"
                 "jpeg decode:     %7.1f ms  (%.2f megapixels)\n"
                 "jpeg upload:     %7.1f ms  (load minus decode)\n"
                 "scene init:      %7.1f ms  (everything above in the show's order, shaders, noise and render textures)\n",
                 1000 * meshSeconds, polygons, 1000 * decodeSeconds, pixels / 1e6,
                 1000 * (decodeAndUpload - decodeSeconds), 1000 * initSeconds);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
