// The muxing of a recording and putting it in place.
#include "app/capture/capture_mux.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include "app/capture/capture_progress.h"
#include "platform/process.h"

namespace {

using Clock = std::chrono::steady_clock;

// The muxing copies the pictures and encodes the sound, seconds even for the whole
// show; an output that stops growing for this long means ffmpeg is stuck (a full
// disk that never frees, a file system that hangs), and it is ended.
constexpr double kMuxStallSeconds = 60;
// The longest file name (one path component) the file systems of the show's
// platforms take, in bytes.
constexpr size_t kMaxFileNameBytes = 255;

bool taken(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// `path` with its file name replaced by `name`, in the same folder.
std::string beside(const std::string& path, const std::string& name)
{
    return (std::filesystem::path(path).parent_path() / name).string();
}

// The first bytes of `text` that fit in `bytes`, not cutting a UTF-8 sequence.
std::string cutUtf8(const std::string& text, size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

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

RecordingParts recordingParts(const std::string& asked)
{
    const std::string extension = std::filesystem::path(asked).extension().string();
    std::random_device seed;
    std::mt19937 draw(seed());
    RecordingParts parts;
    parts.asked = asked;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char stem[32];
        std::snprintf(stem, sizeof stem, "zoduv-%06x.part", static_cast<unsigned>(draw() & 0xFFFFFF));
        parts.pictures = beside(asked, std::string(stem) + ".mkv");
        parts.sound = beside(asked, std::string(stem) + ".wav");
        parts.muxed = beside(asked, stem + extension);
        if (!taken(parts.pictures) && !taken(parts.sound) && !taken(parts.muxed))
            break;
    }
    return parts;
}

std::string stoppedRecordingName(const std::string& asked, double seconds)
{
    const std::filesystem::path path(asked);
    const std::string stem = path.stem().string(), extension = path.extension().string();
    char mark[64];
    std::snprintf(mark, sizeof mark, ".stopped-at-%.2fs", seconds);
    for (int n = 1;; ++n) {
        std::string tail = mark;
        if (n > 1) {
            tail += '-';
            tail += std::to_string(n);
        }
        tail += extension;
        const std::string name =
            cutUtf8(stem, kMaxFileNameBytes > tail.size() ? kMaxFileNameBytes - tail.size() : 0) + tail;
        const std::string candidate = beside(asked, name);
        if (!taken(candidate) || n >= 1000)
            return candidate;
    }
}

std::string partsText(const RecordingParts& parts)
{
    return "picture in " + parts.pictures + ", sound in " + parts.sound;
}

bool muxRecording(const RecordingParts& parts, const std::string& destination, bool whole, ProgressBar& bar)
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
    std::filesystem::rename(parts.muxed, destination, renameError);
    if (renameError) {
        sayLine(bar, textf("capture: cannot put the recording in place as %s (%s); it is in %s", destination.c_str(),
                           renameError.message().c_str(), parts.muxed.c_str()));
        std::filesystem::remove(parts.pictures, ignored);
        std::filesystem::remove(parts.sound, ignored);
        return false;
    }
    std::filesystem::remove(parts.pictures, ignored);
    std::filesystem::remove(parts.sound, ignored);
    return true;
}
