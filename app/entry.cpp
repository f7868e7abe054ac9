// Entry and message loop. A frame runs on every idle turn while the window is
// active; the buffers are swapped on every idle turn, active or not. The platform
// drives the loop turn by turn (a browser page cannot block in a loop of its own).
#include "app/entry.h"

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/capture.h"
#include "app/command_line.h"
#include "app/dialog.h"
#include "app/display_modes.h"
#include "app/frame_report.h"
#include "app/gl_window.h"
#include "app/run_plan.h"
#include "app/show_folder.h"
#include "app/window_proc.h"
#include "engine/clock.h"
#include "engine/demo_context.h"
#include "engine/frame_driver.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "audio/sound.h"
#include "engine/startup.h"
#include "scene/part_start.h"

namespace {

void captureCameraPoint()
{
    const Vec3& eye = demoContext.cameraEye();
    const float position[3] = {eye.x, eye.y, eye.z};
    capturePoint(runtimeState, frameInput, position);
}

// --bare: the scene keeps its passes' clears and resolves and draws nothing in them.
bool bareScene = false;

parts* makeScene()
{
    parts* part = makeSceneStart();
    static_cast<part_start*>(part)->bare = bareScene;
    return part;
}

// Recording sees each drawn frame once, finished, just before it is shown.
// Frames before --start are neither shown nor recorded. A stop request ends the
// loop with its status.
bool swapWindow()
{
    static int32_t lastRecordedFrame = -1;
    static bool stopPosted = false;
    if (const int stop = captureStopStatus(); stop != 0 && !stopPosted) {
        platform::postQuitMessage(stop);
        stopPosted = true;
    }
    if (frameIsMasked())
        return true;
    if (runtimeState.frameCount != lastRecordedFrame) {
        lastRecordedFrame = runtimeState.frameCount;
        captureFrame(runtimeState.showTime, demoContext.renderWidth, demoContext.renderHeight);
    }
    return platform::swapBuffers(runtimeState.deviceContext);
}

// The window goes with the GL context, so the frames still being read back are
// taken in first.
void closeWindow()
{
    flushCapture();
    destroyWindow();
}

// The recording, then the benchmark's file: either one asked for and not written
// ends the run with kExitRecording.
int finishOutputs(int status)
{
    status = finishCapture(status);
    if (!finishFrameReport() && status == 0)
        status = kExitRecording;
    return status;
}

void exitAfterRecording(int status) { std::exit(finishOutputs(status)); }

WindowProcHooks windowHooks()
{
    WindowProcHooks hooks;
    hooks.resizeView = resizeView;
    hooks.pointCapture = captureCameraPoint;
    hooks.runFrame = frameReportActive() ? runReportedFrame : runFrame;
    hooks.swapBuffers = swapWindow;
    return hooks;
}

bool showWindowProcedure(const platform::Message& message)
{
    static const WindowProcHooks hooks = windowHooks();
    return windowProc(message, runtimeState, frameInput, hooks);
}

// Test-only input script, ZUR_TEST_INPUT="0.3:mbutton,0.5:escape": each event is
// posted once, on the first loop turn at or after its show time, so the exit
// paths and the point capture run end to end without a person at the keyboard.
// Events: escape, close, mbutton, f1.
struct ScriptedInput {
    struct Event {
        double at;
        platform::Message message;
        bool sent;
    };
    std::vector<Event> events;

    ScriptedInput()
    {
        const char* script = std::getenv("ZUR_TEST_INPUT");
        if (!script)
            return;
        std::string text = script;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t comma = text.find(',', pos);
            std::string item = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            pos = comma == std::string::npos ? text.size() : comma + 1;
            size_t colon = item.find(':');
            if (colon == std::string::npos)
                continue;
            double at = std::atof(item.substr(0, colon).c_str());
            std::string name = item.substr(colon + 1);
            platform::Message m;
            if (name == "escape")
                m = {platform::kMsgKeyDown, platform::kVkEscape, 0};
            else if (name == "close")
                m = {platform::kMsgClose, 0, 0};
            else if (name == "mbutton")
                m = {platform::kMsgMButtonDown, 0, 0};
            else if (name == "f1")
                m = {platform::kMsgKeyDown, platform::kVkF1, 0};
            else
                continue;
            events.push_back({at, m, false});
        }
    }
    void poll(double showTime)
    {
        for (Event& e : events)
            if (!e.sent && showTime >= e.at) {
                platform::postMessage(e.message);
                e.sent = true;
            }
    }
};

struct LoopState {
    WindowProcHooks hooks;
    ScriptedInput scripted;
    double startSeconds = 0; // a late start's show time, 0 for none
    bool startShown = false; // its progress has been taken down
};
LoopState* loop = nullptr;

// Closing the window skips the fade and the clipboard, but the mixer still stops
// before the process tears down its statics under the audio thread.
int closeAfterQuit(int quitCode)
{
    closeWindow();
    if (runConfig.soundEnabled)
        FSOUND_Close();
    return finishOutputs(quitCode);
}

// One turn of the message loop: every waiting message through the window
// procedure, then the idle part. The scripted input is polled before each
// message, as the loop always has.
int loopTurn()
{
    RuntimeState& rs = runtimeState;
    platform::Message message;
    for (;;) {
        loop->scripted.poll(rs.showTime);
        if (!platform::peekMessage(message))
            break;
        if (message.id == platform::kMsgQuit)
            return closeAfterQuit(static_cast<int>(message.wParam));
    }
    idleTurn(rs, loop->hooks);
    if (!rs.active)
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // minimised: don't spin a core
    // The frames before a late start show nothing: the page runs them back to
    // back and shows how far they have come.
    if (loop->startSeconds > 0 && !loop->startShown && rs.active) {
        if (frameIsMasked()) {
            platform::showStartProgress(rs.showTime / loop->startSeconds);
            return platform::kTurnUnseen;
        }
        platform::showStartProgress(-1);
        loop->startShown = true;
    }
    return -1;
}

// Changes into the folder that holds the show's files (see show_folder.h), with
// the output files anchored where the program was called from. False, after a
// message naming the file and the folders tried, when there is none.
bool enterShowFolder(CommandLine& line, const std::string& caller)
{
    std::error_code error;
    const std::u8string here = std::filesystem::current_path(error).u8string();
    const std::string working = error ? std::string(".") : std::string(here.begin(), here.end());
    const ShowFolderSearch search = findShowFolder(working, platform::programFolder());
    if (search.found.empty()) {
        platform::messageBox(showFolderMissingText(search), "ERROR", platform::kMbOk | platform::kMbIconStop);
        return false;
    }
    if (search.found != working) {
        anchorOutputFiles(line, caller);
        std::filesystem::current_path(std::u8string(search.found.begin(), search.found.end()), error);
    }
    return !error;
}

} // namespace

int runShow(const CommandLine& given)
{
    RuntimeState& rs = runtimeState;
    DemoContext& ctx = demoContext;

    CommandLine line = given;
    const std::string caller = callerFolder();
    if (!enterShowFolder(line, caller))
        return kExitCameraKeys; // as a show folder without its camera keys ends

    applyCommandLineSwitches(line, runConfig);
    RunPlan plan;
    std::string planError;
    if (!planRun(line, displayAvailable(), showEndSeconds(), caller, plan, planError)) {
        std::fprintf(stderr, "zoduv: %s\n", planError.c_str());
        return kUsageExitStatus;
    }
    if (plan.offscreen) {
        useOffscreenDisplay();
        runConfig.showDialog = 0;
    }
    if (plan.headless)
        std::fprintf(stderr, "zoduv: no display; recording the show offscreen to %s (%d x %d, %d frames/s)\n",
                     plan.recording.videoFile.c_str(), line.width > 0 ? line.width : 1280,
                     line.width > 0 ? line.height : 720, plan.recording.framesPerSecond);
    if (line.benchmark)
        startFrameReport({line.bare, line.benchmarkFile});
    bareScene = line.bare;
    if (plan.record)
        if (const int status = startCapture(plan.recording))
            return status;
    setFixedStep(plan.fixedStep);
    if (plan.showEnd > 0)
        setShowEndSeconds(plan.showEnd);
    setShowStart(plan.start);
    if (plan.start.placeSound)
        soundHold(true); // nothing is heard until the start places the tracks

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

    platform::setWindowProcedure(showWindowProcedure);
    frameDriverHooks.destroyWindow = closeWindow;
    frameDriverHooks.exitProcess = exitAfterRecording;
    startupHooks.makePart = makeScene;
    startupHooks.presentFrame = presentWindowFrame;

    const auto createdFrom = std::chrono::steady_clock::now();
    if (!createWindow(kWindowCaption, ctx.renderWidth, ctx.renderHeight, 32, rs.fullscreen))
        return 0;
    const double startupSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - createdFrom).count();
    if (line.benchmark)
        std::printf("benchmark: start-up %.3f s (window, context, assets, shaders, render targets, music)\n",
                    startupSeconds);
    // Real time: wait for the display; fixed steps: as fast as frames can be drawn.
    platform::setSwapInterval(plan.waitForDisplay ? 1 : 0);

    static LoopState state{windowHooks(), ScriptedInput()};
    state.startSeconds = plan.start.seconds;
    loop = &state;
    return platform::runLoop(loopTurn);
}

int programMain(int argc, char** argv)
{
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc, argv, line, error)) {
        std::fprintf(stderr, "zoduv: %s\n%s", error.c_str(), usageText().c_str());
        return kUsageExitStatus;
    }
    if (line.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s\n", versionText().c_str());
        return 0;
    }
    return runShow(line);
}
