// The run plan: defaults of captures and of the headless recording, the range and
// the start of drawing, and the checks that need the show's end.
#include "app/run_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/command_line.h"

namespace {

constexpr int kCaptureFramesPerSecond = 60;
// The steps the show is simulated on before --start when it then plays in real time.
constexpr int kRealTimeStartStep = 60;

std::string seconds(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g s", value);
    return text;
}

// The same path however it is spelt ("a.png", "./a.png", "shots/../a.png").
bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    const std::filesystem::path fullA = std::filesystem::absolute(a, error).lexically_normal();
    const std::filesystem::path fullB = std::filesystem::absolute(b, error).lexically_normal();
    return fullA == fullB;
}

} // namespace

std::string callerFolder()
{
    const char* given = std::getenv("ZUR_CALLER_DIR");
    if (given && *given)
        return given;
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return error ? std::string(".") : here.string();
}

bool planRun(const CommandLine& line, bool haveDisplay, double showEnd, const std::string& callerFolder,
             RunPlan& plan, std::string& error)
{
    plan = RunPlan{};
    error.clear();
    plan.offscreen = !haveDisplay;
    plan.headless = !haveDisplay && line.capture.empty() && line.screenshots.empty() && !line.benchmark;

    CaptureSettings& rec = plan.recording;
    rec.videoFile = line.capture;
    if (plan.headless)
        rec.videoFile = (callerFolder.empty() ? std::string(".") : callerFolder) + "/" + kHeadlessVideoFile;
    const bool capturing = !rec.videoFile.empty();
    if (!capturing && (line.framesPerSecond > 0 || line.fromSeconds > 0 || line.toSeconds > 0)) {
        error = "--fps, --from and --to shape a recording: give --capture FILE.mp4";
        return false;
    }

    // A capture or a benchmark follows the show's own timeline, frame by frame.
    plan.fixedStep = line.fixedStep > 0 ? line.fixedStep : line.framesPerSecond;
    if (plan.fixedStep <= 0 && (capturing || line.benchmark))
        plan.fixedStep = plan.headless ? kHeadlessFramesPerSecond : kCaptureFramesPerSecond;
    rec.framesPerSecond = plan.fixedStep > 0 ? plan.fixedStep : kCaptureFramesPerSecond;
    for (const ScreenshotRequest& shot : line.screenshots)
        rec.screenshots.push_back({shot.showSeconds, shot.file});
    // Two pictures for one file would leave only the later one there.
    for (size_t i = 0; i < line.screenshots.size(); ++i)
        for (size_t k = 0; k < i; ++k)
            if (sameFile(line.screenshots[k].file, line.screenshots[i].file)) {
                error = "--screenshot " + line.screenshots[i].file + " is asked for at " +
                        seconds(line.screenshots[k].showSeconds) + " and at " +
                        seconds(line.screenshots[i].showSeconds) + ": the later picture would replace the earlier";
                return false;
            }

    const double end = line.showEnd > 0 ? line.showEnd : showEnd;
    if (line.startSeconds >= end) {
        error = "--start " + seconds(line.startSeconds) + " is past the end of the show (" + seconds(end) + ")";
        return false;
    }
    if (capturing && line.fromSeconds >= end) {
        error = "--from " + seconds(line.fromSeconds) + " is past the end of the show (" + seconds(end) + ")";
        return false;
    }
    // The show ends with the range, unless a screenshot asks for a later moment.
    plan.showEnd = line.showEnd;
    if (capturing && line.toSeconds > 0) {
        double last = line.toSeconds;
        for (const ScreenshotRequest& shot : line.screenshots)
            last = std::max(last, shot.showSeconds);
        if (last < end)
            plan.showEnd = last;
    }
    rec.fromSeconds = line.fromSeconds;
    rec.toSeconds = line.toSeconds;
    rec.endSeconds = plan.showEnd > 0 ? plan.showEnd : end;

    // Nothing before the range is needed as a picture, so it is simulated without
    // drawing like the time before --start; a screenshot in between is drawn.
    double drawFrom = line.startSeconds;
    if (capturing && line.fromSeconds > drawFrom) {
        drawFrom = line.fromSeconds;
        for (const ScreenshotRequest& shot : line.screenshots)
            if (shot.showSeconds >= line.startSeconds)
                drawFrom = std::min(drawFrom, shot.showSeconds);
    }
    plan.start.seconds = drawFrom;
    plan.waitForDisplay = plan.fixedStep == 0;
    if (line.startSeconds > 0 && plan.fixedStep == 0) {
        plan.fixedStep = kRealTimeStartStep;
        plan.start.realTimeAfter = true;
    }
    // A capture mixes its own sound; any other run plays it through the device.
    plan.start.placeSound = line.startSeconds > 0 && !capturing;
    plan.record = capturing || !rec.screenshots.empty();
    return true;
}
