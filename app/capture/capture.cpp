// Screenshots and video capture. The video is written in two steps: while the
// show runs, frames go to an ffmpeg process (capture_encoder.h) and the mixed sound
// to a WAV file beside it (capture_wav.h); at the end one more ffmpeg run puts them
// together (capture_mux.h). Reading a frame back and encoding it overlap with
// drawing the next ones (capture_readback.h). Sound stays on the drawing thread,
// pulled frame by frame, so every volume change lands in the frame that made it.
#include "app/capture/capture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/capture/capture_encoder.h"
#include "app/capture/capture_mux.h"
#include "app/capture/capture_progress.h"
#include "app/capture/capture_readback.h"
#include "app/capture/capture_wav.h"
#include "app/capture/yuv_planes.h"
#include "audio/sound.h"
#include "engine/demo_context.h"
#include "formats/png_write.h"
#include "platform/process.h"

namespace {

// Show times this close below a range bound or a screenshot's time count as
// reaching it: sums of fixed steps drift by far less, so the frame meant to land
// on the bound is the one taken.
constexpr double kBoundSlackSeconds = 1e-6;

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------

struct CaptureState {
    CaptureSettings settings;
    std::vector<bool> shotTaken;
    std::vector<bool> shotFailed;
    encoder_feed encoder;
    WavWriter audio;
    RecordingParts parts;
    long long videoFrames = 0;    // pictures handed to the encoder so far
    long long rangeFrames = 0;    // frames drawn inside the range (a skipped one too)
    long long soundPulled = 0;    // stereo frames taken from the mixer, kept or dropped
    long long soundBase = 0;      // dropped before the first frame of the range
    std::vector<int16_t> soundBlock; // reused for every pull from the mixer
    std::vector<unsigned char> pixels;
    ReadbackRing ring;
    double firstShowTime = -1, lastShowTime = -1; // frames seen
    double firstRecorded = 0, lastRecorded = 0;
    ProgressBar progress;
    bool started = false;
    bool finished = false;
    bool videoStopped = false;    // ffmpeg stopped taking frames, or could not start
    bool videoFailed = false;
};

CaptureState capture;

void say(const std::string& line) { sayLine(capture.progress, line); }

// Mixes `frames` stereo frames of the show's sound and writes them to the sound
// file, or drops them when `keep` is false. Without sound, silence keeps the length.
void pullSound(long long frames, bool keep)
{
    std::vector<int16_t>& block = capture.soundBlock;
    while (frames > 0) {
        const int n = static_cast<int>(std::min<long long>(frames, 4096));
        block.resize(static_cast<size_t>(n) * 2);
        if (soundPullFrames(block.data(), n) != n)
            std::fill(block.begin(), block.end(), 0);
        if (keep)
            writeWavFrames(capture.audio, block.data(), n);
        frames -= n;
    }
}

// ---------------------------------------------------------------------------
// Pictures
// ---------------------------------------------------------------------------

// A frame that cannot be read back is said once; the recording is then not whole.
void noteReadback(bool read)
{
    if (!read && !capture.videoFailed) {
        say("capture: a frame could not be read back; the recording misses it");
        capture.videoFailed = true;
    }
}

bool startEncoder(int width, int height)
{
    const CaptureSettings& s = capture.settings;
    // Encoding shares the processor with drawing, so it is kept cheap: the frames
    // arrive as the encoder's own planes (ffmpeg converts nothing), and x264 runs
    // its fastest preset (a third of the processor time of "veryfast" for as
    // sharp a picture at the same CRF, in files about 2.7 times the size) on one
    // thread, whose frame threads would cost more time per frame than they win.
    const std::vector<std::string> command = {
        "ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "yuv420p",
        "-video_size", std::to_string(videoSide(width)) + "x" + std::to_string(videoSide(height)), "-framerate",
        std::to_string(s.framesPerSecond), "-i", "-", "-c:v", "libx264", "-preset", "ultrafast", "-crf", "18",
        "-threads", "1", "-colorspace", "smpte170m", "-color_range", "tv", capture.parts.pictures};
    if (!capture.encoder.start(command, yuvPlaneBytes(width, height))) {
        say("capture: cannot start ffmpeg");
        return false;
    }
    createReadbackRing(capture.ring, width, height);
    capture.progress.started = ProgressBar::Clock::now();
    return true;
}

bool inRange(double showTime)
{
    const CaptureSettings& s = capture.settings;
    return showTime >= s.fromSeconds - kBoundSlackSeconds &&
           (s.toSeconds <= 0 || showTime < s.toSeconds - kBoundSlackSeconds);
}

void recordVideoFrame(double showTime, int width, int height)
{
    const CaptureSettings& s = capture.settings;
    if (capture.rangeFrames == 0) {
        if (!startEncoder(width, height)) {
            capture.videoStopped = capture.videoFailed = true;
            return;
        }
        capture.firstRecorded = showTime;
        // On screen a picture is shown from its show time until the next one, and
        // the mixer started at show time zero. The first picture already shows one
        // step of show time, so the sound before it is pulled and dropped: the
        // video then opens on the sound of its first picture.
        capture.soundBase = std::llround(showTime * kSoundRate);
        pullSound(capture.soundBase, false);
        capture.soundPulled = capture.soundBase;
    }
    if (capture.encoder.failed()) {
        say(textf("capture: ffmpeg stopped taking frames at %.3f s; the recording ends there", showTime));
        capture.videoStopped = capture.videoFailed = true;
        return;
    }
    // A frame of another size (the window was resized) is left out with its sound.
    const bool kept = width == capture.ring.width && height == capture.ring.height;
    if (kept) {
        noteReadback(startReadback(capture.ring, capture.encoder));
        ++capture.videoFrames;
        capture.lastRecorded = showTime;
    }
    // Sound through the end of this picture's time on screen. Counting pictures
    // rather than show time keeps both streams the same length, even when show
    // time jumps.
    ++capture.rangeFrames;
    const long long wanted =
        capture.soundBase + std::llround(static_cast<double>(capture.rangeFrames) * kSoundRate / s.framesPerSecond);
    const long long frames = std::max(0LL, wanted - capture.soundPulled);
    pullSound(frames, kept);
    capture.soundPulled += frames;
    showProgress(capture.progress, capture.videoFrames, showTime, false);
}

std::string absolutePath(const std::string& file)
{
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(file, error);
    return error ? file : full.lexically_normal().string();
}

void atExit() { finishCapture(0); }

void sayWritten(const std::string& file)
{
    const CaptureSettings& s = capture.settings;
    const double seconds = static_cast<double>(capture.videoFrames) / s.framesPerSecond;
    say(textf("capture: wrote %s (%lld frames, %.2f s at %d frames/s, show time %.3f to %.3f s)",
              absolutePath(file).c_str(), capture.videoFrames, seconds, s.framesPerSecond, capture.firstRecorded,
              capture.lastRecorded));
}

bool fileExists(const std::string& file)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(file, error));
}

// Why ffmpeg could not leave a recording at `file`, found before the show plays
// rather than after it: empty when nothing is known to stand in the way.
std::string videoFileProblem(const std::string& file)
{
    const std::filesystem::path path(file);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::directory)
        return "is a folder";
    if (std::filesystem::exists(status) && status.type() != std::filesystem::file_type::regular)
        return "is not a regular file (a device, FIFO or socket): the recording is written beside it and renamed";
    if (!path.has_extension() || path.extension() == ".")
        return "has no extension: ffmpeg takes the kind of file from it (say .mp4)";
    return {};
}

} // namespace

int startCapture(const CaptureSettings& settings)
{
    capture.settings = settings;
    capture.shotTaken.assign(settings.screenshots.size(), false);
    capture.shotFailed.assign(settings.screenshots.size(), false);
    if (!settings.videoFile.empty()) {
        // The sound is mixed on this thread, frame by frame, instead of by a device.
        soundSetOutputMode(SoundOutputMode::Pulled);
        if (!programAvailable("ffmpeg")) {
            std::fprintf(stderr, "capture: ffmpeg is not installed; nothing is recorded\n");
            return 1;
        }
        const std::string problem = videoFileProblem(settings.videoFile);
        if (!problem.empty()) {
            std::fprintf(stderr, "capture: %s %s; nothing is recorded\n", settings.videoFile.c_str(),
                         problem.c_str());
            return kExitRecording;
        }
        capture.parts = recordingParts(settings.videoFile);
        if (!openWav(capture.audio, capture.parts.sound)) {
            std::fprintf(stderr, "capture: cannot record %s: its sound part %s cannot be written (%s); nothing is "
                         "recorded\n",
                         settings.videoFile.c_str(), capture.parts.sound.c_str(), capture.audio.error.c_str());
            return kExitRecording;
        }
        setHardStopCleanup("capture: stopped at once; what was recorded is left as parts: " +
                               partsText(capture.parts) + "\n",
                           capture.parts.muxed);
        capture.progress.terminal = standardErrorIsTerminal();
        capture.progress.total = framesInRange(settings);
        if (settings.fromSeconds > 0)
            say(textf("capture: recording from show time %.3f s; the show up to there runs without drawing",
                      settings.fromSeconds));
        catchStopRequests();
    }
    capture.started = true;
    std::atexit(atExit);
    return 0;
}

void captureFrame(double showTime, int width, int height)
{
    if (!capture.started)
        return;
    const CaptureSettings& s = capture.settings;

    if (capture.firstShowTime < 0)
        capture.firstShowTime = showTime;
    capture.lastShowTime = showTime;

    auto reached = [&](double at) { return showTime >= at - kBoundSlackSeconds; };
    bool shotDue = false;
    for (size_t i = 0; i < s.screenshots.size(); ++i)
        if (!capture.shotTaken[i] && reached(s.screenshots[i].first))
            shotDue = true;
    if (shotDue) {
        readBackBuffer(capture.pixels, width, height);
        for (size_t i = 0; i < s.screenshots.size(); ++i) {
            if (capture.shotTaken[i] || !reached(s.screenshots[i].first))
                continue;
            capture.shotTaken[i] = true;
            if (writeRgbPng(s.screenshots[i].second, width, height, capture.pixels.data(), true)) {
                say(textf("screenshot: %s at %.3f s", s.screenshots[i].second.c_str(), showTime));
            } else {
                capture.shotFailed[i] = true;
                say(textf("screenshot: cannot write %s", s.screenshots[i].second.c_str()));
            }
        }
    }

    if (!s.videoFile.empty() && !capture.videoStopped && inRange(showTime))
        recordVideoFrame(showTime, width, height);
}

int captureStopStatus() { return capture.started && !capture.settings.videoFile.empty() ? stopRequestStatus() : 0; }

void flushCapture()
{
    while (!capture.ring.inFlight.empty())
        noteReadback(takeOldestReadback(capture.ring, capture.encoder));
    deleteReadbackRing(capture.ring);
}

int finishCapture(int status)
{
    if (!capture.started || capture.finished)
        return status;
    capture.finished = true;
    const CaptureSettings& s = capture.settings;
    bool missing = false;

    if (!s.videoFile.empty() && capture.videoFrames > 0)
        showProgress(capture.progress, capture.videoFrames, capture.lastRecorded, true);
    // A stop before the recording is finished leaves it short of its end: it goes
    // beside an earlier file of the name instead of replacing it.
    std::string destination = s.videoFile;
    if (const int stop = captureStopStatus()) {
        status = stop;
        // Frames simulated before the range are not drawn, so the show's own clock
        // says how far it got.
        const double reached = std::max({capture.lastShowTime, runtimeState.showTime, 0.0});
        say(textf("capture: stopped by %s at show time %.3f s", stop == 130 ? "Ctrl+C (SIGINT)" : "SIGTERM",
                  reached));
        if (!s.videoFile.empty() && capture.videoFrames > 0 && fileExists(s.videoFile))
            destination = stoppedRecordingName(s.videoFile, reached);
    }
    if (!s.videoFile.empty()) {
        // Frames left in the ring when the GL context went without a flush are
        // lost; the muxing's -shortest then trims their sound.
        capture.ring.inFlight.clear();
        const bool encoded = capture.encoder.running() && capture.encoder.finish() == 0;
        const bool soundWritten = closeWav(capture.audio);
        missing = !encoded || capture.videoFailed || !soundWritten;
        if (capture.videoFrames == 0) {
            std::error_code ignored;
            std::filesystem::remove(capture.parts.sound, ignored);
            std::filesystem::remove(capture.parts.pictures, ignored);
            say(textf(capture.videoFailed ? "capture: nothing recorded; %s is left as it was"
                                          : "capture: no frame was drawn in the range; nothing recorded, and %s is "
                                            "left as it was",
                      s.videoFile.c_str()));
        } else {
            if (!encoded)
                say("capture: ffmpeg reported an error while encoding the pictures");
            if (!soundWritten)
                say(textf("capture: cannot write the sound file %s (%s)", capture.parts.sound.c_str(),
                          capture.audio.error.c_str()));
            if (soundWritten) {
                if (muxRecording(capture.parts, destination, !missing, capture.progress)) {
                    if (destination != s.videoFile)
                        say(textf("capture: %s is kept as it was: a stopped recording does not replace it",
                                  s.videoFile.c_str()));
                    sayWritten(destination);
                } else {
                    missing = true;
                }
            } else {
                // A sound file cut short by the disk cannot be muxed as it claims to be.
                say(textf("capture: %s; %s is left as it was", partsText(capture.parts).c_str(), s.videoFile.c_str()));
            }
        }
    }
    for (size_t i = 0; i < s.screenshots.size(); ++i) {
        if (capture.shotFailed[i]) {
            missing = true;
        } else if (!capture.shotTaken[i]) {
            missing = true;
            if (capture.lastShowTime < 0)
                say(textf("screenshot: %s not written: no frame was drawn", s.screenshots[i].second.c_str()));
            else
                say(textf("screenshot: %s not written: show time %.3f s was not drawn (frames ran from %.3f to "
                           "%.3f s)",
                           s.screenshots[i].second.c_str(), s.screenshots[i].first, capture.firstShowTime,
                           capture.lastShowTime));
        }
    }
    // A stop that came while the file was being finished counts as well.
    if (const int stop = captureStopStatus())
        status = stop;
    if (missing && status == 0)
        status = kExitRecording;
    return status;
}
