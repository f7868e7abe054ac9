// Entry and message loop. A frame runs on every idle turn while the window is
// active; the buffers are swapped on every idle turn, active or not.
#include "app/entry.h"

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <thread>

#include "app/command_line.h"
#include "app/dialog.h"
#include "app/display_modes.h"
#include "app/gl_window.h"
#include "app/window_proc.h"
#include "runtime/clock.h"
#include "runtime/demo_context.h"
#include "runtime/frame_driver.h"
#include "runtime/platform.h"
#include "runtime/sound.h"
#include "runtime/startup.h"
#include "scene/part_start.h"

namespace {

void captureCameraPoint()
{
    const Vec3& eye = demoContext.cameraEye();
    const float position[3] = {eye.x, eye.y, eye.z};
    capturePoint(runtimeState, frameInput, position);
}

bool swapWindow() { return platform::swapBuffers(runtimeState.deviceContext); }

WindowProcHooks windowHooks()
{
    WindowProcHooks hooks;
    hooks.resizeView = resizeView;
    hooks.pointCapture = captureCameraPoint;
    hooks.runFrame = runFrame;
    hooks.swapBuffers = swapWindow;
    return hooks;
}

// Test-only inputs: a synthetic Escape or window close at a given show time, so
// the exit paths can be exercised end to end without a person at the keyboard.
struct ScriptedInput {
    double escapeAt = -1, closeAt = -1;
    bool escapeSent = false, closeSent = false;

    ScriptedInput()
    {
        if (const char* v = std::getenv("ZUR_TEST_ESCAPE_AT"))
            escapeAt = std::atof(v);
        if (const char* v = std::getenv("ZUR_TEST_CLOSE_AT"))
            closeAt = std::atof(v);
    }
    void poll(double showTime)
    {
        if (escapeAt >= 0 && !escapeSent && showTime >= escapeAt) {
            platform::postMessage({platform::kMsgKeyDown, platform::kVkEscape, 0});
            escapeSent = true;
        }
        if (closeAt >= 0 && !closeSent && showTime >= closeAt) {
            platform::postMessage({platform::kMsgClose, 0, 0});
            closeSent = true;
        }
    }
};

} // namespace

int runShow(const CommandLine& line)
{
    RuntimeState& rs = runtimeState;
    DemoContext& ctx = demoContext;

    applyCommandLineSwitches(line, runConfig);
    setFixedStep(line.fixedStep);
    if (line.showEnd > 0)
        setShowEndSeconds(line.showEnd);

    enumerateDisplayModes(rs);
    if (runConfig.showDialog) {
        runStartDialog(rs, runConfig, ctx);
    } else {
        ctx.renderWidth = ctx.windowWidth = 1280;
        ctx.renderHeight = ctx.windowHeight = 720;
        rs.fullscreen = 0;
    }
    applyCommandLineWindow(line, rs, runConfig, ctx);

    if (line.anyArgument)
        platform::openConsole();

    frameDriverHooks.destroyWindow = destroyWindow;
    startupHooks.makePart = makeSceneStart;
    startupHooks.presentFrame = presentWindowFrame;

    if (!createWindow(kWindowCaption, ctx.renderWidth, ctx.renderHeight, 32, rs.fullscreen))
        return 0;

    const WindowProcHooks hooks = windowHooks();
    ScriptedInput scripted;
    platform::Message message;
    int quitCode = 0;
    for (;;) {
        scripted.poll(rs.showTime);
        if (platform::peekMessage(message)) {
            if (message.id == platform::kMsgQuit) {
                quitCode = static_cast<int>(message.wParam);
                break;
            }
            windowProc(message, rs, frameInput, hooks);
            continue;
        }
        idleTurn(rs, hooks);
        if (!rs.active)
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // minimised: don't spin a core
    }
    destroyWindow();
    // Closing the window skips the fade and the clipboard, but the mixer still
    // stops before the process tears down its statics under the audio thread.
    if (runConfig.soundEnabled)
        FSOUND_Close();
    return quitCode;
}
