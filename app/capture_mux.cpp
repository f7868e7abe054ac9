// The muxing of a recording and putting it in place.
#include "app/capture_mux.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/capture_progress.h"
#include "platform/process.h"

namespace {

using Clock = std::chrono::steady_clock;

// The muxing copies the pictures and encodes the sound, seconds even for the whole
// show; an output that stops growing for this long means ffmpeg is stuck (a full
// disk that never frees, a file system that hangs), and it is ended.
constexpr double kMuxStallSeconds = 60;

// Runs the muxing, which obeys the stop requests: the first lets it finish (the
// status already says the recording was stopped), a second ends the process and
// this child with it. An output that stops growing for kMuxStallSeconds ends it.
// ffmpeg's exit status; -1 when it could not start, died or was ended.
int runMuxing(const std::vector<std::string>& command, const std::string& output, ProgressBar& bar,
              std::string& why)
{
    ChildProcess* child = startChild(command);
    if (!child) {
        why = "ffmpeg could not be started";
        return -1;
    }
    double stallSeconds = kMuxStallSeconds;
    if (const char* given = std::getenv("ZUR_MUX_STALL_SECONDS"))
        stallSeconds = std::max(0.1, std::atof(given));
    // A request from before the muxing has been said already.
    bool stopSaid = stopRequestStatus() != 0;
    std::uintmax_t lastSize = 0;
    Clock::time_point lastGrowth = Clock::now();
    for (;;) {
        int status = -1;
        if (waitChild(child, 0.2, status))
            return status;
        if (const int stop = stopRequestStatus(); stop != 0 && !stopSaid) {
            stopSaid = true;
            sayLine(bar, textf("capture: %s while the file is being finished; it will hold what was recorded (%s "
                               "again ends at once and leaves the parts)",
                               stop == 130 ? "Ctrl+C" : "SIGTERM", stop == 130 ? "Ctrl+C" : "SIGTERM"));
        }
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(output, error);
        if (!error && size != lastSize) {
            lastSize = size;
            lastGrowth = Clock::now();
        } else if (std::chrono::duration<double>(Clock::now() - lastGrowth).count() > stallSeconds) {
            endChild(child);
            why = textf("ffmpeg wrote nothing for %.0f s and was ended", stallSeconds);
            return -1;
        }
    }
}

} // namespace

std::string partsText(const RecordingParts& parts)
{
    return "picture in " + parts.pictures + ", sound in " + parts.sound;
}

bool muxRecording(const RecordingParts& parts, bool whole, ProgressBar& bar)
{
    std::error_code ignored;
    std::filesystem::remove(parts.muxed, ignored);
    std::string why;
    const int muxed = runMuxing({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", parts.pictures, "-i",
                                 parts.sound, "-c:v", "copy", "-c:a", "aac", "-b:a", "192k", "-shortest",
                                 "-movflags", "+faststart", parts.muxed},
                                parts.muxed, bar, why);
    if (muxed != 0) {
        std::filesystem::remove(parts.muxed, ignored);
        sayLine(bar, textf("capture: muxing failed (%s); %s; %s is left as it was",
                           why.empty() ? "ffmpeg reported an error" : why.c_str(), partsText(parts).c_str(),
                           parts.asked.c_str()));
        return false;
    }
    if (!whole) {
        sayLine(bar, textf("capture: the recording is incomplete; what was recorded is in %s, and %s is left as it "
                           "was",
                           parts.muxed.c_str(), parts.asked.c_str()));
        std::filesystem::remove(parts.pictures, ignored);
        std::filesystem::remove(parts.sound, ignored);
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(parts.muxed, parts.asked, renameError);
    if (renameError) {
        sayLine(bar, textf("capture: cannot put the recording in place as %s (%s); it is in %s", parts.asked.c_str(),
                           renameError.message().c_str(), parts.muxed.c_str()));
        std::filesystem::remove(parts.pictures, ignored);
        std::filesystem::remove(parts.sound, ignored);
        return false;
    }
    std::filesystem::remove(parts.pictures, ignored);
    std::filesystem::remove(parts.sound, ignored);
    return true;
}
