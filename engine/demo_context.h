// The engine records handed to demo parts, and the part interface. One instance of
// each record lives for the whole process (defined in demo_context.cpp); parts see
// the system only through DemoContext, FrameInput and the frame delta.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "render/render_resources.h"
#include "engine/vecmath.h"

struct FrameInput;

// One tenth of a second of the developer frame-rate log.
struct FrameLogBin {
    double time = 0;
    double value = 0;
    int32_t count = 0;
};

constexpr int kSharedVectors = 15;

// The render floor's part (presentation, device context, texture table, render
// targets, outline font) comes first, as RenderResources.
struct DemoContext : RenderResources {
    double vendorScale = 1.0;
    int32_t reservedInt = 0;
    uint8_t wideFlag = 0;
    FrameInput* currentInput = nullptr;

    // Scene-shared values: 0 camera eye, 1 camera target, 2 camera up.
    Vec3 sharedVectors[kSharedVectors];
    Vec3& cameraEye() { return sharedVectors[0]; }
    Vec3& cameraTarget() { return sharedVectors[1]; }
    Vec3& cameraUp() { return sharedVectors[2]; }

    // Developer text log and frame-rate log.
    std::ofstream logStream;
    double logSeconds = 0;
    std::vector<FrameLogBin> logBins;

    int32_t renderWidth = 1280, renderHeight = 720;
    int32_t windowWidth = 1280, windowHeight = 720;
};

struct FrameInput {
    double pointerX = 0;
    double pointerY = 0;
    double wheelTravel = 0;
    int32_t wheelSteps = 0;
    double nudgeA = 0;
    double nudgeB = 0;
    int32_t leftButton = 0;
    int32_t rightButton = 0;
    int32_t muteAmbient = 0;
    double cameraX = 0, cameraY = 0, cameraZ = 0;
    bool flagsA[32] = {};
    bool flagsB[32] = {};
    double showTime = 0;
    std::vector<Vec3> pointList;
    int32_t cueValue = 0;
    int32_t partMode = 0;
    uint8_t sceneBlock[2048] = {};
    double auxValues[32] = {};
    int32_t keysDown[256] = {};
    int32_t reservedOne = 1;
    int32_t reservedWords[3] = {0, 0, 0};
    int32_t sceneCount = 0;
    double sceneValue = 0;

    double& exitFade() { return auxValues[10]; }
};

// The abstract demo part. The runtime constructs it, calls init once, sets
// initialised, calls draw once per frame and deletes it on the exit paths.
class parts {
public:
    virtual void draw(double& frameDelta, DemoContext& context, FrameInput& input) = 0;
    virtual ~parts() {}
    virtual void init(DemoContext& context) = 0;

    int32_t initialised = 0;
    double playbackValue = 0;
};

struct SoundSample;

// The runtime's own bookkeeping; parts never see it.
struct RuntimeState {
    double showTime = 0;
    double lastClock = 0;
    double frameDelta = 0;
    int32_t frameCount = 0;
    int32_t fpsFrames = 0;
    double fpsSeconds = 0;
    double loadSeconds = 0;
    parts* partList[8] = {};
    bool exitRequested = false;
    double exitStartTime = 0;
    uint8_t keyTable[256] = {};
    // A key that goes down stays down for the part until an idle turn has run:
    // keyUnseen marks it, keyReleasePending holds a release that came first.
    uint8_t keyUnseen[256] = {};
    uint8_t keyReleasePending[256] = {};
    uint8_t leftDown = 0, rightDown = 0;
    int32_t wheelStepsTotal = 0;
    double wheelTravelTotal = 0;
    uint8_t fullscreen = 0, previousFullscreen = 0;
    uint8_t active = 1;
    std::string clipboardText;
    SoundSample* music = nullptr;
    SoundSample* ambient = nullptr;
    SoundSample* effects = nullptr;
    void* windowHandle = nullptr;
    void* deviceContext = nullptr;
    void* renderContext = nullptr;
    void* instance = nullptr;
    std::vector<std::pair<int32_t, int32_t>> displayModes;
    std::ofstream reportStream; // developer asset report
};

// Compiled-in switches. The developer build (ZUR_DEVELOPER) turns on the
// developer aids; the release values are those of the show as it is shipped.
struct RunConfig {
    uint8_t showDialog = 1;
    uint8_t dialogFirstInit = 1;
#if ZUR_DEVELOPER
    uint8_t releaseMode = 0;
#else
    uint8_t releaseMode = 1;
#endif
    uint8_t antialiased = 1;
    uint8_t soundEnabled = 1;
    double exitFadeRate = 100002.5; // per second
    int32_t jumpChapter = -4;       // negative: off
    uint8_t effectsTrack = 0;
#if ZUR_DEVELOPER
    uint8_t recordState = 1, playState = 0;
    uint8_t assetReport = 1;
    uint8_t frameLog = 1;
#else
    uint8_t recordState = 0, playState = 0;
    uint8_t assetReport = 0;
    uint8_t frameLog = 0;
#endif
};

// The process-wide records.
extern DemoContext demoContext;
extern FrameInput frameInput;
extern RuntimeState runtimeState;
extern RunConfig runConfig;
