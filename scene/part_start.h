// The show's one scene: every mesh, texture id, program number and per-show state,
// the init that loads them all in a fixed order, and the per-frame draw.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "formats/obj_mesh.h"
#include "render/screen_rect.h"
#include "render/shader_bank.h"
#include "engine/vecmath.h"
#include "engine/demo_context.h"
#include "scene/camera_keys.h"
#include "scene/handheld.h"
#include "scene/path_spline.h"
#include "scene/poly_mesh.h"

// Files the scene reads, relative to the show folder.
constexpr const char* kCameraKeyFile = "newobjects/paths.pt";
constexpr const char* kHandheldFile = "try1.sav";
constexpr const char* kShaderEnding = ".glsl";

// The material program cuts the paper where holes + (g1 + g2 − 1.79)·2.5 passes
// 0.46, g1 and g2 being two samples of the paper's green (0 to 255 here). Where
// the holes layer is zero, a paper whose green stays at or below this keeps the
// cut at zero and the paper fully opaque.
constexpr int kOpaquePaperGreen = 251;
// Strips of texel rows the pencil pictures are bounded by.
constexpr int kPencilStrips = 32;

// The steps of a frame, in the order they end: the holes pass, the main pass's
// parts (stroke making, camera and clear, dust, figures, paper, tendrils and ants,
// stroke lines, pencil), the main pass with its resolve, the final composition
// with tiles and fade.
enum class SceneStep { holes, strokes, clear, dust, figures, paper, tendrils, lines, pencil, main, final };

class part_start : public parts {
public:
    part_start();
    ~part_start() override;
    void draw(double& frameDelta, DemoContext& ctx, FrameInput& input) override;
    void init(DemoContext& ctx) override;

    std::vector<CameraKey> cameraKeys;
    Vec3 pen;
    PolyMesh meshSlots[18];
    std::vector<PathSpline> strokes;
    Vec3 penFocus;
    double revealStart = -9000.0, revealEnd = 0.0;
    uint8_t oneShot[8] = {}; // oneShot[0] is revealStarted
    Vec3 lastStrokePoint;
    HandheldRecording handheld;
    ObjMesh antMesh;
    float tendrilGrowth[5] = {};
    float antGrowth[3] = {};
    int32_t materialProgram = 1, programB = 23, programC = 22, programD = 3, finalProgram = 4, programF = 5,
            programG = 6, blurProgram = 13, programI = 7;
    double sceneTime = 0;
    int32_t sceneTextureBase = 0;
    double scaledStep = 0;
    FrameInput input;
    int32_t sceneTex = 0, holesTex = 11, secondTex = 26, noiseTex = 27, quarterTex = 28, spareTex = 29;
    ObjMesh objMeshes[11];
    ShaderBank shaders;

    uint8_t& revealStarted() { return oneShot[0]; }

    // The frame's passes (scene_frame.cpp, main_pass.cpp, stroke_pass.cpp).
    // With no clear area only the matrices and holeRegion: no clear, no draw.
    // Otherwise the colour (and, in the first frame, depth) is cleared there.
    void holesPass(DemoContext& ctx, const PixelRect* clearArea);
    void mainPass(DemoContext& ctx);
    // Rebuilds strokes, one path per drawing, and returns the window of the joined
    // path whose `before` is its length. onlyRevealed (the main pass): only the
    // points the reveal window can show, from window.first on, are made, and
    // `before` may stop at a lower bound past window.last (see StrokeWindow).
    StrokeWindow strokePass(bool onlyRevealed = false);
    void composeFinal(DemoContext& ctx);

    // The 1-D texture bound as "texture1d_dsp" by the final composition: a
    // neutral ramp made by init (no spectrum reaches the scene).
    uint32_t dspTexture = 0;

    // Where this frame's holes layer may be other than zero (window pixels of the
    // quads the holes pass drew). Everywhere else the paper is opaque, when
    // paperOpaqueWithoutHoles says its texture cannot cut it by itself, and what
    // lies under it cannot show.
    ScreenRegion holeRegion;
    bool paperOpaqueWithoutHoles = false;
    // Render target 1 and holesTex are zero outside this (whole pixels); the
    // whole image may not be until a frame has cleared it.
    PixelRect holesDirty;
    bool holesDirtyKnown = false;
    // Corners of the tumbling figure's bounding box, made by init.
    float figureBox[24] = {};
    // Texture ids 510 to 513 (pencil pictures and shadows): boxes in texture
    // coordinates (u0, v0, u1, v1), strip by strip of texel rows, outside which
    // each samples only texels that leave the picture below unchanged (zero
    // alpha, or black for a shadow). Made by init.
    std::vector<std::array<float, 4>> pencilBoxes[4];

    // For the frame report (off in the show). A bare frame keeps the clears, the
    // resolves, the final composition, tiles and fade, and draws nothing inside
    // the holes layer and the main pass. afterStep runs once each step is issued.
    bool bare = false;
    void (*afterStep)(SceneStep step) = nullptr;
    double strokeSeconds = 0; // CPU time of the stroke pass, join and reveal window, last drawn frame
    int64_t strokePoints = 0; // joined stroke path of the last drawn frame, counted as far as the window needs
    int64_t linePoints = 0;   // of which drawn as the stroke line
    // A bare frame at the current scene time that leaves the scene's state as it
    // was, but for the random generator and holesDirty (the layer is zero after it).
    void drawBareFrame(DemoContext& ctx);

private:
    void renderPasses(DemoContext& ctx, bool bareFrame);
    void stepDone(SceneStep step)
    {
        if (afterStep)
            afterStep(step);
    }
    void loadMesh(int slot, const char* file);
    void makeDspTexture();
};

// Viewport, the scene's perspective, cleared buffers, reset state and the context
// camera: the common start of the holes layer and the main pass. A pass that
// knows a buffer's clear would change no pixel leaves it out.
void beginScenePass(DemoContext& ctx, bool clearColour = true, bool clearDepth = true);

// Speed of the scene clock against the frame clock at scene time t.
float sceneSpeed(double t);
// Camera distance curve D(t); the distance is 5·D + 5.
double cameraDistanceCurve(double t);
// The deform function of the stroke pass: lower parts hop early in the show, a
// wave runs along x late in it. The index is not used.
Vec3 strokeDeform(const Vec3& point, double time, int index);

// Constructs the scene for part slot 0.
parts* makeSceneStart();
