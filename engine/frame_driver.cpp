// The frame driver. The show time is the sum of frame deltas, each the difference
// of two clock readings; nothing caps a long delta, so after a stall or a
// minimised period the show continues where the clock says it should be.
#include "engine/frame_driver.h"

#include "gl/gl_api.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/draw_helpers.h"
#include "render/render_targets.h"
#include "engine/clock.h"
#include "engine/cue_sheet.h"
#include "engine/demo_context.h"
#include "engine/dev_tools.h"
#include "engine/frame_log.h"
#include "platform/platform.h"
#include "base/random.h"
#include "audio/sound.h"
#include "engine/startup.h"
#include "engine/state_snapshots.h"

FrameDriverHooks frameDriverHooks;

namespace {

// Developer chapter starts for RunConfig.jumpChapter 1 to 5; other values do nothing.
const double kChapterStarts[] = {0.0, 32.2, 74.1, 130.0, 209.0, 296.88};

void exitProcess(int status)
{
    if (frameDriverHooks.exitProcess)
        frameDriverHooks.exitProcess(status);
    else
        std::exit(status);
}

void copyClipboard()
{
    const std::string& text = runtimeState.clipboardText;
    // A failure abandons the copy silently; the text is on standard error as well,
    // so a clipboard that cannot be had loses nothing.
    platform::setClipboardText(text);
    if (!text.empty()) {
        std::fprintf(stderr, "clipboard:\n%s%s", text.c_str(), text.back() == '\n' ? "" : "\n");
        std::fflush(stderr);
    }
}

// Darkens the whole window by the fade value (1 leaves it, 0 is black).
void drawExitOverlay(float slow)
{
    glViewport(0, 0, demoContext.windowWidth, demoContext.windowHeight);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    unbindTarget(demoContext);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glPushMatrix();
    resetDrawState();
    glLoadIdentity();
    gluLookAt(0, 3, 0, 0, 0, 0, 0, 0, 1);
    glScalef(1, 1, 0.7f);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glColor3f(slow, slow, slow);
    glDisable(GL_TEXTURE_2D);
    drawSprite(0.0, 50.0, 50.0, true, 1.0f);
    glPopMatrix();
    glPopAttrib();
    glFlush();
}

void runExitFade()
{
    if (runConfig.recordState)
        devStateRecorder().saveStates("state.txt");
    double e = runtimeState.showTime - runtimeState.exitStartTime;
    double slow = std::clamp(e * runConfig.exitFadeRate, 0.0, 1.0);
    double fast = std::clamp(e * 5 * runConfig.exitFadeRate, 0.0, 1.0);
    frameInput.exitFade() = 1 - fast;
    if (runConfig.soundEnabled)
        FSOUND_SetVolume(1, static_cast<int>(255 - slow * 255));
    drawExitOverlay(static_cast<float>(slow));
    if (slow > 0.999) {
        copyClipboard();
        endShow();
    }
}

} // namespace

namespace {
double showEndOverride = 0;

// Show times this close below the start count as reached: sums of fixed steps
// drift by far less, so the frame meant to land on the start is shown.
constexpr double kStartSlackSeconds = 1e-6;

struct StartState {
    ShowStart plan;
    bool pending = false; // the first shown frame has not run yet
    bool masked = false;  // the frame just run
};
StartState start;

void reachStart()
{
    RuntimeState& rs = runtimeState;
    start.pending = false;
    if (start.plan.realTimeAfter) {
        setFixedStep(0);
        rs.lastClock = readClock();
    }
    if (start.plan.placeSound && runConfig.soundEnabled) {
        const uint32_t at = static_cast<uint32_t>(std::llround(rs.showTime * 44100.0));
        FSOUND_SetCurrentPosition(1, at);
        FSOUND_SetCurrentPosition(0, kAmbientStartFrame + at);
        FSOUND_SetVolume(0, ambientVolume(rs.showTime, frameInput.muteAmbient != 0));
        soundHold(false);
    }
}
} // namespace

void setShowStart(const ShowStart& plan)
{
    start.plan = plan;
    start.pending = plan.seconds > 0;
    start.masked = false;
}

bool frameIsMasked() { return start.masked; }

bool showStartPending() { return start.pending; }

void setShowEndSeconds(double seconds) { showEndOverride = seconds > 0 ? seconds : 0; }

double showEndSeconds()
{
    if (showEndOverride > 0)
        return showEndOverride;
    static const double fromEnvironment = [] {
        const char* value = std::getenv("ZUR_TEST_SHOW_END");
        double seconds = value ? std::atof(value) : 0;
        return seconds > 0 ? seconds : kShowEndSeconds;
    }();
    return fromEnvironment;
}

uint32_t frameSeed(double showTime)
{
    // Whole microseconds through 64 bits, low 32 bits kept: the same seeds as a
    // signed 32-bit value up to 2147.48 s, and defined beyond it. fmod keeps the
    // conversion defined for any time (it is exact on whole numbers).
    const double micros = std::trunc(showTime * 1000000.0);
    if (!std::isfinite(micros))
        return 0;
    double low = std::fmod(micros, 4294967296.0);
    if (low < 0)
        low += 4294967296.0;
    return static_cast<uint32_t>(low);
}

int ambientVolume(double showTime, bool muted)
{
    int volume = muted ? 0 : (showTime < kAmbientLoudUntilSeconds ? 10 : 2);
    if (showTime < kAmbientMuteBeforeSeconds || showTime > kAmbientMuteAfterSeconds)
        volume = 0;
    return volume;
}

void endShow()
{
    if (runConfig.soundEnabled)
        FSOUND_Close();
    if (frameDriverHooks.destroyWindow)
        frameDriverHooks.destroyWindow();
    if (runtimeState.partList[0]) {
        delete runtimeState.partList[0];
        runtimeState.partList[0] = nullptr;
    }
    exitProcess(0);
}

bool runFrame()
{
    RuntimeState& rs = runtimeState;
    FrameInput& in = frameInput;

    double cursorX = 0, cursorY = 0;
    platform::getCursorPos(cursorX, cursorY);

    tickFixedStep();
    rs.frameDelta = readClock() - rs.lastClock;
    rs.lastClock = readClock();
    if (!(rs.frameDelta > 0))
        rs.frameDelta = 0;

    // The generator is seeded from the show time whether or not sound plays, so a
    // silent run draws the same pictures as a run with music.
    rng::srand(frameSeed(rs.showTime));
    rng::discard(50);
    if (runConfig.soundEnabled)
        FSOUND_SetVolume(0, ambientVolume(rs.showTime, in.muteAmbient != 0));

    if (runConfig.frameLog)
        recordFrameRate(demoContext, 1.0 / std::max(rs.frameDelta, 0.00001), rs.showTime, 0);

    rs.fpsSeconds += rs.frameDelta;
    rs.frameCount += 1;
    rs.fpsFrames += 1;

    in.wheelSteps = rs.wheelStepsTotal;
    in.rightButton = rs.rightDown;
    in.leftButton = rs.leftDown;
    in.wheelTravel = rs.wheelTravelTotal;
    in.pointerX = (cursorX - 400) * 7 / 400;
    in.pointerY = (cursorY - 300) * 7 / 300;
    if (runConfig.releaseMode) {
        in.leftButton = 0;
        in.pointerX = 0;
        in.pointerY = 0;
        in.wheelTravel = 0;
    }

    cueSheet.update(rs.showTime);
    uint8_t fired = 0;
    in.cueValue = cueSheet.query(rs.showTime, fired);

    demoContext.textureBase = 0;

    rs.showTime += rs.frameDelta;
    in.showTime = rs.showTime;

    for (int k = 0; k < 256; ++k)
        in.keysDown[k] = rs.keyTable[k] ? 1 : 0;

    in.partMode = 1;
    parts* part = nullptr;
    if (rs.showTime >= kAltSlotFromSeconds && rs.showTime <= kAltSlotToSeconds)
        part = rs.partList[1] ? rs.partList[1] : rs.partList[0];
    else
        part = rs.partList[0];
    start.masked = start.pending && rs.showTime < start.plan.seconds - kStartSlackSeconds;
    if (start.masked)
        setPixelWritesMasked(true);
    if (part)
        part->draw(rs.frameDelta, demoContext, in);
    if (start.masked)
        setPixelWritesMasked(false);
    else if (start.pending)
        reachStart();
    if (runConfig.recordState)
        devStateRecorder().recordFrame(rs, in);

    if (runConfig.playState)
        devStateRecorder().applyPlaybackKeys(rs, in);

    if (runConfig.jumpChapter >= 1 && runConfig.jumpChapter <= 5 && rs.frameCount == 1)
        rs.showTime = kChapterStarts[runConfig.jumpChapter];

    if (!runConfig.releaseMode)
        writeDeveloperCaption(in.auxValues[0], in.auxValues[1]);

    if (rs.showTime > showEndSeconds())
        endShow();
    else if (in.flagsB[3])
        endShow();
    else if (rs.exitRequested)
        runExitFade();
    return true;
}
