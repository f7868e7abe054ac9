// The scene's frame: the scene clock with its speed curve, the camera that follows
// the pen, the holes layer and the main pass into their targets, and the final
// composition with the opening tiles and the closing fade. Every effect is a
// function of the scene time.
#include "gl/gl_api.h"

#include <algorithm>
#include <cmath>

#include "render/draw_helpers.h"
#include "render/render_targets.h"
#include "render/textures.h"
#include "base/random.h"
#include "scene/part_start.h"
#include "scene/timeline.h"

namespace {

struct Ramp {
    double weight, start, rate; // weight · E((t − start) · rate)
};

// Speed curve: 1 plus these ramps, accumulated in single precision in this order.
const Ramp kSpeedRamps[] = {
    {+0.8, 105, 0.5}, {-0.8, 117, 0.5}, {+1.2, 180, 0.5},
    {-1.2, 200, 0.5}, {-0.2, 153, 0.5}, {+0.2, 170, 0.5},
};

// Camera distance curve, summed in double precision in this order.
const Ramp kDistanceRamps[] = {
    {-0.6, 96, 1},      {-0.4, 118, 0.1},  {+1.0, 120, 0.2}, {-0.4, 206, 0.2}, {+0.4, 210, 0.5},
    {-0.3, 222, 0.25},  {+0.3, 228, 0.2},  {-0.4, 232, 0.7}, {+0.45, 233, 0.7}, {+0.1, 254, 0.2},
    {-0.4, 128, 0.8},   {+0.4, 130, 0.3},  {-0.1, 232.4, 2.8}, {+0.1, 233, 0.6},
};

// Blots of the holes layer: x scale, y scale, angle in degrees.
struct Blot {
    double scaleX, scaleY, angle;
};

// The quad (−1, −1) … (1, 1) under the current matrices, added to the region.
void noteUnitQuad(ScreenRegion& region, int width, int height)
{
    static const float kCorners[12] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    double clip[16];
    multiplyMatrices(projection, modelview, clip);
    const int viewport[4] = {0, 0, width, height};
    region.addPoints(clip, viewport, kCorners, 4);
}

void lerpCamera(Vec3& eye, Vec3& target, Vec3& up, const Vec3& toEye, const Vec3& toTarget, float f)
{
    const Vec3 toUp = makeVec3(0, 1, 0);
    eye = add(eye, scale(sub(toEye, eye), f));
    target = add(target, scale(sub(toTarget, target), f));
    up = add(up, scale(sub(toUp, up), f));
}

// How far outside a hole quad's bounds its antialiased edge can reach.
constexpr double kHoleReach = 3;

// The opening tiles shrink away before this scene time (s).
constexpr double kTilesUntil = 6;

// Where the holes pass puts its quads: drawn into the layer, or (with no clear
// area) only noted in the region.
struct HoleLayer {
    ScreenRegion& region;
    bool drawing;
    int width, height;
};

void noteOrDraw(const HoleLayer& layer, const Blot& b)
{
    if (layer.drawing)
        drawPanel(0, b.angle, b.scaleX, b.scaleY);
    else
        setPanelMatrix(b.angle, b.scaleX, b.scaleY);
    // drawPanel leaves the matrix it drew with in place.
    noteUnitQuad(layer.region, layer.width, layer.height);
}

// Groups of blots, each [first] [move, second, move, third] in the group's frame,
// the first group with a fourth bracket [move, fourth]. A move after a blot
// inside the same bracket is taken in that blot's scaled and turned frame, as
// drawPanel leaves it.
struct Move {
    float x, y;
};
struct BlotGroup {
    double after; // s: drawn while the scene time is past this
    void (*place)();
    Blot first;
    Move toSecond;
    Blot second;
    Move toThird;
    Blot third;
};

void placeFirstBlots()
{
    glScalef(0.675f, 1.2f, 120);
    glTranslatef(3.185f, 0.676f, 0);
}
void placeSecondBlots() { glTranslatef(6.3485f, 9.00897f, 0); }
void placeThirdBlots() { glTranslatef(-10.74f, -2.1f, 0); }
void placeFourthBlots()
{
    glTranslatef(0.99f, 2.52f, 0);
    glTranslatef(-25.74f, -2.1f, 0);
}

const BlotGroup kBlotGroups[] = {
    // after (s)  frame             first                move to second  second            move to third    third
    {100,  placeFirstBlots,  {0.32, 0.32, 60},    {0.5f, 0.3f},   {0.32, 0.32, 30}, {0.58f, 0.3f},   {0.16, 0.16, 10}},
    {170,  placeSecondBlots, {1.6, 1.6, 30},      {0.4f, 0.2f},   {1.3, 1.3, 30},   {-0.18f, 0.1f},  {1.3, 1.3, 10}},
    {220,  placeThirdBlots,  {-1.04, -1.04, 120}, {0.7f, 0.2f},   {0.9, 0.9, -30},  {-0.28f, -0.3f}, {0.6, 0.6, -10}},
    {240,  placeFourthBlots, {-1.04, -1.04, 0},   {0.7f, 0.2f},   {0.9, 0.9, 80},   {-0.28f, -0.3f}, {0.6, 0.6, -110}},
};
// The first group's fourth bracket.
constexpr Move kToFourthBlot = {1, 0.2f};
constexpr Blot kFourthBlot = {0.4, 0.32, 80};

void drawBlotGroup(const HoleLayer& layer, const BlotGroup& group, bool withFourth)
{
    glPushMatrix();
    group.place();
    glPushMatrix();
    noteOrDraw(layer, group.first);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(group.toSecond.x, group.toSecond.y, 0);
    noteOrDraw(layer, group.second);
    glTranslatef(group.toThird.x, group.toThird.y, 0);
    noteOrDraw(layer, group.third);
    glPopMatrix();
    if (withFourth) {
        glPushMatrix();
        glTranslatef(kToFourthBlot.x, kToFourthBlot.y, 0);
        noteOrDraw(layer, kFourthBlot);
        glPopMatrix();
    }
    glPopMatrix();
}

// The large hole sheet, until 160 s.
void drawHoleSheet(DemoContext& ctx, const HoleLayer& layer, int holeTexture, double t)
{
    glColor3f(1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glPushMatrix();
    glColor4f(1, 1, 1, 1);
    bindTexture(ctx, holeTexture);
    glScalef(0.84375f, 1.5f, 120);
    glEnable(GL_TEXTURE_2D);
    glTranslatef(13.1075f, 4.06f, 0);
    glRotatef(90, 0, 0, 1);
    if (t < 160) {
        if (layer.drawing)
            drawQuad(-1, -1, 1, 1, 1);
        noteUnitQuad(layer.region, layer.width, layer.height);
    }
    glPopMatrix();
}

// Matrices and state for the final picture on screen.
void backToScreen(DemoContext& ctx)
{
    glMatrixMode(GL_MODELVIEW);
    unbindTarget(ctx);
    glViewport(0, 0, ctx.renderWidth, ctx.renderHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

// Opening tiles: 144 black tiles, each shrinking at its own fixed speed. The
// generator is seeded every frame.
void drawOpeningTiles(double t)
{
    glColor3f(0, 0, 0);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    rng::srand(2323);
    rng::discard(100);
    if (t < kTilesUntil) {
        for (int c = 0; c < 16; ++c) {
            for (int r = 0; r < 9; ++r) {
                double u = rng::rand() / 32767.0;
                float size = static_cast<float>(5 - 5 * ease((0.6 * u + 0.4) * 5 * t));
                glPushMatrix();
                glTranslatef(-1, -1, 0);
                glScalef(0.25f, 0.25f, 0);
                glTranslatef(static_cast<float>(c * 9 * 0.0625), static_cast<float>(r), 0);
                glScalef(0.0625f, 0.11111111f, 0);
                glScalef(size, size, 0);
                drawQuad(-1, -1, 1, 1, 1);
                glPopMatrix();
            }
        }
    }
    glPopMatrix();
}

// Closing fade to black, and the state the frame ends with.
void drawClosingFade(double t)
{
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    float a = static_cast<float>(ease((t - sectionStart(ShowSection::fade)) * 0.25));
    glColor4f(0, 0, 0, a);
    if (a > 0.003f)
        drawSprite(0, 1, 1, true, 1);

    glDisable(GL_TEXTURE_2D);
    glColor3f(0, 0, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// The holes layer of a bare frame: cleared and resolved whole.
void clearHolesLayer(part_start& scene, DemoContext& ctx)
{
    attachTexture(ctx, 1, 0, scene.holesTex);
    bindForDrawing(ctx, 1, 1);
    beginScenePass(ctx);
    resolve(ctx, 1, ctx.renderWidth, ctx.renderHeight, 1, false);
    scene.holesDirtyKnown = true;
    scene.holesDirty = {};
}

// The holes layer (render target 1 and holesTex) is zero outside holesDirty.
// Its clear and resolve are needed only around what lands in it this frame
// and what an earlier frame left: nowhere at all for most of the show.
void updateHolesLayer(part_start& scene, DemoContext& ctx)
{
    const int W = ctx.renderWidth, H = ctx.renderHeight;
    const PixelRect all{0, 0, W, H};
    scene.holesPass(ctx, nullptr);
    const ScreenRegion& region = scene.holeRegion;
    const bool everything = !scene.holesDirtyKnown || region.everywhere;
    PixelRect landing{};
    if (!region.empty() && !region.everywhere)
        landing = region.pixelsAround(kHoleReach, all);
    const PixelRect area = everything ? all : unionOf(landing, scene.holesDirty);
    if (area.width > 0 && area.height > 0) {
        attachTexture(ctx, 1, 0, scene.holesTex);
        bindForDrawing(ctx, 1, 1);
        scene.holesPass(ctx, &area);
        if (everything)
            resolve(ctx, 1, W, H, 1, false);
        else
            resolveArea(ctx, 1, area.x, area.y, area.x + area.width, area.y + area.height);
    }
    // A frame whose writes were masked left the layer as it was, whatever that is.
    scene.holesDirtyKnown = !region.everywhere && !pixelWritesMasked();
    scene.holesDirty = landing;
}

} // namespace

float sceneSpeed(double t)
{
    float s = 1.0f;
    for (const Ramp& r : kSpeedRamps)
        s += static_cast<float>(r.weight * ease((t - r.start) * r.rate));
    return s;
}

double cameraDistanceCurve(double t)
{
    double d = 0;
    for (const Ramp& r : kDistanceRamps)
        d += r.weight * ease((t - r.start) * r.rate);
    return d;
}

void part_start::draw(double& frameDelta, DemoContext& ctx, FrameInput& frame)
{
    // Input in: the scene works on its own copy and writes it back at the end.
    ctx.currentInput = &frame;
    input = frame;

    // Scene clock.
    double t = sceneTime;
    if (t < 155)
        frameDelta = frameDelta * 1.1;
    frameDelta = frameDelta * sceneSpeed(t);
    scaledStep = frameDelta;
    sceneTime = t + frameDelta;
    t = sceneTime;

    // Camera: follows the pen, pans twice, then the hand-held sway and the keys.
    double curve = input.wheelTravel > 0.01 ? input.wheelTravel : cameraDistanceCurve(t);
    float d = static_cast<float>(5 * curve + 5);
    Vec3& eye = ctx.cameraEye();
    Vec3& target = ctx.cameraTarget();
    Vec3& up = ctx.cameraUp();
    float g = static_cast<float>(-2.7 * ease((t - 234) * 0.2));
    eye = makeVec3(penFocus.x + g, penFocus.y, d);
    target = makeVec3(penFocus.x + g, penFocus.y, 0);
    up = makeVec3(0, 1, 0);
    float f1 = static_cast<float>(ease((t - 171) * 0.5) - ease((t - 206) * 0.5));
    lerpCamera(eye, target, up, makeVec3(7.5f, 6.7f, d), makeVec3(7.5f, 6.7f, 0), f1);
    float f2 = static_cast<float>(ease((t - 250) * 0.19));
    lerpCamera(eye, target, up, makeVec3(-20.5f, -4.0f, d), makeVec3(-20.5f, -4.0f, 0), f2);
    eye.y += 0.1f;
    target.y += 0.1f;
    applyHandheld(handheld, t, eye, target, up); // does nothing without a usable recording
    if (const CameraKey* key = activeKey(cameraKeys, t)) {
        eye = key->eye;
        target = key->target;
    }

    renderPasses(ctx, bare);

    // Input out: carries the main pass's requests (the pencil's silence).
    *ctx.currentInput = input;
}

void part_start::drawBareFrame(DemoContext& ctx) { renderPasses(ctx, true); }

void part_start::renderPasses(DemoContext& ctx, bool bareFrame)
{
    if (bareFrame)
        clearHolesLayer(*this, ctx);
    else
        updateHolesLayer(*this, ctx);
    stepDone(SceneStep::holes);

    attachTexture(ctx, 0, 0, sceneTex);
    bindForDrawing(ctx, 0, 1);
    if (bareFrame)
        beginScenePass(ctx);
    else
        mainPass(ctx);
    resolve(ctx, 0, ctx.renderWidth, ctx.renderHeight, 1, false);
    stepDone(SceneStep::main);

    backToScreen(ctx);
    composeFinal(ctx);
    drawOpeningTiles(sceneTime);
    drawClosingFade(sceneTime);
    stepDone(SceneStep::final);
}

// The 1-D texture bound as "texture1d_dsp": a neutral soft ramp, so the final
// program reads a smooth, spectrum-like shape instead of an unbound sampler.
void part_start::makeDspTexture()
{
    uint8_t ramp[256 * 3];
    for (int i = 0; i < 256; ++i) {
        uint8_t v = static_cast<uint8_t>(255.0 * std::exp(-i / 64.0));
        ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = v;
    }
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_1D, name);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage1D(GL_TEXTURE_1D, 0, GL_RGB, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, ramp);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_1D, 0);
    dspTexture = name;
}

void part_start::composeFinal(DemoContext& ctx)
{
    shaders.useProgram(finalProgram);
    shaders.setTextureUniform(GL_TEXTURE_2D, finalProgram, 0, "texture2d_1", textureName(ctx, sceneTex));
    shaders.setTextureUniform(GL_TEXTURE_2D, finalProgram, 2, "texture2d_random", textureName(ctx, noiseTex));
    shaders.setTextureUniform(GL_TEXTURE_2D, finalProgram, 3, "texture2d_2", textureName(ctx, secondTex));
    shaders.setTextureUniform(GL_TEXTURE_1D, finalProgram, 4, "texture1d_dsp", dspTexture);
    shaders.setUniform1f(finalProgram, "Limit", static_cast<float>(input.nudgeA));
    shaders.setUniform1f(finalProgram, "time", static_cast<float>(sceneTime));

    glMatrixMode(GL_TEXTURE);
    glActiveTexture(GL_TEXTURE0);
    resetDrawState();
    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    drawSprite(0, 1, 1, true, 1);
    shaders.useNoProgram();
}

void beginScenePass(DemoContext& ctx, bool clearColour, bool clearDepth)
{
    const int W = ctx.renderWidth, H = ctx.renderHeight;
    const Vec3& eye = ctx.cameraEye();
    const Vec3& target = ctx.cameraTarget();
    const Vec3& up = ctx.cameraUp();
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(55, static_cast<double>(W) / H, 0.1, 800);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    if (clearColour || clearDepth)
        glClear((clearColour ? GL_COLOR_BUFFER_BIT : 0) | (clearDepth ? GL_DEPTH_BUFFER_BIT : 0));
    resetDrawState();
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

void part_start::holesPass(DemoContext& ctx, const PixelRect* clearArea)
{
    const double t = sceneTime;
    const int W = ctx.renderWidth, H = ctx.renderHeight;
    const HoleLayer layer{holeRegion, clearArea != nullptr, W, H};
    const bool whole = layer.drawing && clearArea->x <= 0 && clearArea->y <= 0 && clearArea->width >= W &&
                       clearArea->height >= H;
    // Nothing here turns the depth test on: with it off (every frame but the
    // first, which inherits the window's state) no draw reads the depth buffer.
    const bool depth = layer.drawing && glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
    beginScenePass(ctx, whole, whole && depth);
    if (layer.drawing && !whole) {
        beginScissor(clearArea->x, clearArea->y, clearArea->width, clearArea->height);
        glClear(GL_COLOR_BUFFER_BIT | (depth ? GL_DEPTH_BUFFER_BIT : 0));
        endScissor();
    }
    holeRegion.clear();
    shaders.useNoProgram();
    drawHoleSheet(ctx, layer, sceneTextureBase + 100, t);
    for (const BlotGroup& group : kBlotGroups)
        if (t > group.after)
            drawBlotGroup(layer, group, &group == &kBlotGroups[0]);

    glDisable(GL_BLEND);
    glClearColor(1, 1, 1, 0);
    if (input.leftButton) {
        if (layer.drawing)
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        holeRegion.everywhere = true;
    }
}
