// The start-up sequence. The music and the show clock start within a few
// milliseconds of each other; what comes after the clock reset (cue sheet, log)
// falls into the first frame's delta.
#include "engine/startup.h"

#include "gl/gl_api.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "render/allocation_failure.h"
#include "render/draw_helpers.h"
#include "render/render_targets.h"
#include "render/textures.h"
#include "engine/clock.h"
#include "engine/cue_sheet.h"
#include "engine/demo_context.h"
#include "engine/dev_tools.h"
#include "engine/leak_check.h"
#include "platform/platform.h"
#include "audio/sound.h"

StartupHooks startupHooks;

static_assert(kExitAllocation == kAllocationExitStatus, "one status for allocation failures");
static_assert(kExitTexture == kTextureExitStatus, "one status for texture failures");

namespace {

void soundFailure(const char* text, int status)
{
    // The output thread is running by now; it stops before exit frees the mixer.
    FSOUND_Close();
    platform::messageBox(text, "ZUR  ", platform::kMbOk | platform::kMbIconInformation);
    std::exit(status);
}

// A target the driver cannot make would leave every frame black: start-up ends.
void makeTarget(int index, int width, int height, int samples)
{
    if (!createTarget(demoContext, index, width, height, samples))
        allocationFailure("render target", width, height);
}

} // namespace

void startSound()
{
    RuntimeState& rs = runtimeState;
    if (!FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS))
        soundFailure("Problem initializing FMod. \nProgram will now exit.", kExitSoundInit);
    // The two tracks decode side by side: decoding is most of the start-up time.
    std::thread musicLoader(
        [&rs] { rs.music = FSOUND_Sample_Load(FSOUND_FREE, "music/lanternsong.mp3", FSOUND_NORMAL, 0, 0); });
    rs.ambient = FSOUND_Sample_Load(FSOUND_FREE, "music/pencil_bassy.mp3", FSOUND_NORMAL, 0, 0);
    musicLoader.join();
    // A missing music track is not fatal: the show then runs without music.
    if (!rs.ambient)
        soundFailure("Problem initializing FMod. \nNo sound file.", kExitSoundFile);
    if (runConfig.effectsTrack) {
        rs.effects = FSOUND_Sample_Load(FSOUND_FREE, "music/Saltmarsh sfx.mp3", FSOUND_NORMAL, 0, 0);
        if (!rs.effects)
            soundFailure("Problem initializing FMod. \nNo sfx file.", kExitSoundFile);
    }
    FSOUND_Sample_SetMode(rs.ambient, FSOUND_LOOP_NORMAL);
    FSOUND_PlaySound(0, rs.ambient);
    FSOUND_PlaySound(1, rs.music);
    if (runConfig.effectsTrack)
        FSOUND_PlaySound(2, rs.effects);
    FSOUND_SetVolume(0, 10);
    FSOUND_SetCurrentPosition(0, kAmbientStartFrame);
}

void runStartup()
{
    RuntimeState& rs = runtimeState;
    DemoContext& ctx = demoContext;

    if (runConfig.playState)
        loadDeveloperStates();
    if (runConfig.assetReport)
        openDeveloperReport();

    ctx.presentFrame = startupHooks.presentFrame;
    glGetString(GL_VENDOR);
    ctx.vendorScale = 1.0;
    loadGlEntryPoints(); // its result is not needed: missing entry points show up as GL errors

    if (runConfig.antialiased) {
        makeTarget(0, ctx.renderWidth, ctx.renderHeight, 8);
        makeTarget(1, ctx.renderWidth, ctx.renderHeight, 2);
    } else {
        makeTarget(0, ctx.renderWidth, ctx.renderHeight, 0);
        makeTarget(1, ctx.windowWidth, ctx.windowHeight, 0);
    }
    makeTarget(2, ctx.renderWidth / 4, ctx.renderHeight / 4, 0);

    ctx.textureBase = 0;
    rs.clipboardText.clear();
    setLinearFilter();

    rs.loadSeconds = readDurationClock();

    ctx.loaderOptions[0] = ctx.loaderOptions[1] = 0;
    ctx.wideFlag = 0;

    // Lives until the process ends, as intended; the part repoints the context at
    // every frame's record, after which nothing points at this one.
    FrameInput* initInput = new FrameInput();
    keepUntilExit(initInput);
    initInput->partMode = 1;
    ctx.currentInput = initInput;

    if (startupHooks.presentFrame)
        startupHooks.presentFrame();

    for (int i = 0; i < 4; ++i)
        rs.partList[i] = nullptr;
    if (startupHooks.makePart) {
        rs.partList[0] = startupHooks.makePart();
        rs.partList[0]->init(ctx);
        rs.partList[0]->initialised = 1;
    }

    if (runConfig.soundEnabled)
        startSound();

    rs.loadSeconds = readDurationClock() - rs.loadSeconds;
    if (runConfig.assetReport)
        writeDeveloperReport();

    resetClock();
    rs.lastClock = readClock();

    cueSheet.build();
    if (runConfig.frameLog)
        openDeveloperFrameLog();

    rs.showTime = 0;
    frameInput.cameraX = frameInput.cameraY = frameInput.cameraZ = 0;
    for (int i = 0; i < 32; ++i) {
        frameInput.flagsA[i] = false;
        frameInput.flagsB[i] = false;
    }
    frameInput.flagsA[0] = true;
    frameInput.nudgeB = 0;
}
