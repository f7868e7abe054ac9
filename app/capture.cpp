// Screenshots and video capture. The video is written in
// two steps: while the show runs, frames go to an ffmpeg process and the mixed
// sound to a WAV file beside it; at the end one more ffmpeg run puts them together.
// Reading a frame back and encoding it overlap with drawing the next ones: each
// frame is read into one of a ring of pixel buffers and taken out two frames later
// as the encoder's YUV planes, and a writer thread pipes it to ffmpeg. Sound stays on the drawing thread, pulled
// frame by frame, so every volume change lands in the frame that made it.
#include "app/capture.h"

#include "gl/gl_api.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/process.h"
#include "app/yuv_planes.h"
#include "engine/demo_context.h"
#include "formats/png_write.h"
#include "audio/sound.h"

namespace {

constexpr int kSoundRate = 44100;
constexpr int kReadbackRing = 3;   // pixel buffers: the frame read now and two in flight
constexpr int kEncoderBuffers = 3; // frames waiting for or inside the pipe
// Show times this close below a range bound or a screenshot's time count as
// reaching it: sums of fixed steps drift by far less, so the frame meant to land
// on the bound is the one taken.
constexpr double kBoundSlackSeconds = 1e-6;
// The muxing copies the pictures and encodes the sound, seconds even for the whole
// show; an output that stops growing for this long means ffmpeg is stuck (a full
// disk that never frees, a file system that hangs), and it is ended.
constexpr double kMuxStallSeconds = 60;

// ---------------------------------------------------------------------------
// Encoder feed
// ---------------------------------------------------------------------------

// Frames on their way to the encoder. A few buffers go round between the drawing
// thread, which fills them, and the writer thread, which pipes them to ffmpeg; when
// the encoder falls behind, the drawing thread waits for a free buffer.
class encoder_feed {
public:
    bool start(const std::vector<std::string>& command, size_t frameBytes)
    {
        child_ = startChildWithInput(command);
        if (!child_)
            return false;
        buffers_.assign(kEncoderBuffers, std::vector<unsigned char>(frameBytes));
        for (auto& b : buffers_)
            free_.push_back(&b);
        writer_ = std::thread([this] { run(); });
        return true;
    }

    bool running() const { return child_ != nullptr; }
    bool failed() const { return failed_.load(); }

    std::vector<unsigned char>* acquire()
    {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this] { return !free_.empty(); });
        std::vector<unsigned char>* frame = free_.front();
        free_.pop_front();
        return frame;
    }

    void submit(std::vector<unsigned char>* frame)
    {
        {
            std::lock_guard<std::mutex> hold(lock_);
            full_.push_back(frame);
        }
        wake_.notify_all();
    }

    // Writes what is queued, ends ffmpeg's input and waits for it: its exit status.
    int finish()
    {
        if (!child_)
            return -1;
        {
            std::lock_guard<std::mutex> hold(lock_);
            closing_ = true;
        }
        wake_.notify_all();
        writer_.join();
        const int status = finishChild(child_);
        child_ = nullptr;
        return status;
    }

private:
    void run()
    {
        for (;;) {
            std::vector<unsigned char>* frame = nullptr;
            {
                std::unique_lock<std::mutex> hold(lock_);
                wake_.wait(hold, [this] { return closing_ || !full_.empty(); });
                if (full_.empty())
                    return;
                frame = full_.front();
                full_.pop_front();
            }
            // After a failure the frames are still taken, so the drawing thread
            // never waits for a buffer that cannot come back.
            if (!failed_.load() && !writeChild(child_, frame->data(), frame->size()))
                failed_.store(true);
            {
                std::lock_guard<std::mutex> hold(lock_);
                free_.push_back(frame);
            }
            wake_.notify_all();
        }
    }

    ChildProcess* child_ = nullptr;
    std::vector<std::vector<unsigned char>> buffers_;
    std::deque<std::vector<unsigned char>*> free_, full_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::atomic<bool> failed_{false};
    std::thread writer_;
};

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

struct ProgressBar {
    bool terminal = false;
    long long total = 0;    // frames the range should give
    int lastTenth = 0;      // tenths reported so far (not on a terminal)
    bool lineShown = false; // a bar is on the terminal's last line
    Clock::time_point started, lastDrawn;
};

struct CaptureState {
    CaptureSettings settings;
    std::vector<bool> shotTaken;
    std::vector<bool> shotFailed;
    encoder_feed encoder;
    std::FILE* audio = nullptr;   // WAV being written
    std::string audioError;       // why a write of the WAV failed; empty while none has
    std::string videoTemp, audioTemp, muxTemp;
    long long audioFrames = 0;    // stereo frames written so far
    long long videoFrames = 0;    // pictures handed to the encoder so far
    long long rangeFrames = 0;    // frames drawn inside the range (a skipped one too)
    long long soundPulled = 0;    // stereo frames taken from the mixer, kept or dropped
    long long soundBase = 0;      // dropped before the first frame of the range
    std::vector<int16_t> soundBlock; // reused for every pull from the mixer
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    unsigned readback[kReadbackRing] = {};
    std::deque<int> inFlight;     // ring slots read into, oldest first
    int nextSlot = 0;
    double firstShowTime = -1, lastShowTime = -1; // frames seen
    double firstRecorded = 0, lastRecorded = 0;
    ProgressBar progress;
    bool started = false;
    bool finished = false;
    bool videoStopped = false;    // ffmpeg stopped taking frames, or could not start
    bool videoFailed = false;
};

CaptureState capture;

// ---------------------------------------------------------------------------
// Sound file
// ---------------------------------------------------------------------------

// Every write of the sound file is checked: the first failure is kept, and the
// recording is then not passed off as whole.
void writeAudio(const void* data, size_t bytes)
{
    if (!capture.audio || !capture.audioError.empty())
        return;
    errno = 0;
    if (std::fwrite(data, 1, bytes, capture.audio) != bytes)
        capture.audioError = errno ? std::error_code(errno, std::generic_category()).message() : "write error";
}

void putLe32(uint32_t v)
{
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    writeAudio(b, 4);
}

void putLe16(uint16_t v)
{
    unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    writeAudio(b, 2);
}

// 44 100 Hz stereo 16-bit; the sizes are filled in when the file is closed.
void writeWavHeader(uint32_t dataBytes)
{
    writeAudio("RIFF", 4);
    putLe32(36 + dataBytes);
    writeAudio("WAVEfmt ", 8);
    putLe32(16);
    putLe16(1);
    putLe16(2);
    putLe32(kSoundRate);
    putLe32(kSoundRate * 4);
    putLe16(4);
    putLe16(16);
    writeAudio("data", 4);
    putLe32(dataBytes);
}

// Writes the sizes into the header and closes the file; false (with audioError)
// when any write, the flush or the close failed, so the header cannot claim bytes
// the file does not hold.
bool closeAudio()
{
    if (!capture.audio)
        return capture.audioError.empty();
    if (capture.audioError.empty()) {
        std::fflush(capture.audio);
        if (std::ferror(capture.audio))
            capture.audioError = "write error";
    }
    if (capture.audioError.empty() && std::fseek(capture.audio, 0, SEEK_SET) == 0)
        writeWavHeader(static_cast<uint32_t>(capture.audioFrames * 4));
    errno = 0;
    if (std::fclose(capture.audio) != 0 && capture.audioError.empty())
        capture.audioError = errno ? std::error_code(errno, std::generic_category()).message() : "write error";
    capture.audio = nullptr;
    return capture.audioError.empty();
}

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
            writeAudio(block.data(), block.size() * sizeof(int16_t));
        frames -= n;
    }
}

// ---------------------------------------------------------------------------
// Messages and the progress bar
// ---------------------------------------------------------------------------

// Standard error lines; a progress bar on the terminal is cleared first and drawn
// again at the next frame.
void say(const std::string& line)
{
    if (capture.progress.lineShown) {
        std::fputs("\r\033[K", stderr);
        capture.progress.lineShown = false;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

std::string textf(const char* pattern, ...)
{
    char text[1024];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string clockText(double seconds)
{
    const long long s = std::max(0LL, std::llround(seconds));
    if (s >= 3600)
        return textf("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return textf("%lld:%02lld", s / 60, s % 60);
}

// Frames from `from` up to (not including) `to`, or up to `end` when the show ends
// first, on steps of 1/fps from show time 1/fps. A frame landing on the end may
// or may not be drawn, as the sum of steps falls; the bar leaves it out.
long long framesInRange(const CaptureSettings& s)
{
    const double fps = s.framesPerSecond;
    const long long first = std::max(1LL, static_cast<long long>(std::ceil(s.fromSeconds * fps - 1e-6)));
    long long last = static_cast<long long>(std::floor(s.endSeconds * fps - 1e-6));
    if (s.toSeconds > 0)
        last = std::min(last, static_cast<long long>(std::ceil(s.toSeconds * fps - 1e-6)) - 1);
    return std::max(0LL, last - first + 1);
}

void showProgress(double showTime, bool last)
{
    ProgressBar& bar = capture.progress;
    if (bar.total <= 0)
        return;
    const Clock::time_point now = Clock::now();
    const long long done = capture.videoFrames;
    const double elapsed = std::chrono::duration<double>(now - bar.started).count();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double left = rate > 0 ? (bar.total - done) / rate : 0;
    const int percent = static_cast<int>(std::min<long long>(100, done * 100 / bar.total));
    if (bar.terminal) {
        if (!last && now - bar.lastDrawn < std::chrono::milliseconds(200))
            return;
        bar.lastDrawn = now;
        const int filled = percent / 5;
        std::fprintf(stderr, "\r\033[Kcapture [%.*s%.*s] %3d%%  %lld/%lld frames  show %.1f s  %.1f frames/s  %s left",
                     filled, "####################", 20 - filled, "....................", percent, done, bar.total,
                     showTime, rate, clockText(left).c_str());
        bar.lineShown = true;
        if (last) {
            std::fputc('\n', stderr);
            bar.lineShown = false;
        }
        std::fflush(stderr);
        return;
    }
    const int tenth = percent / 10;
    if (tenth > bar.lastTenth) {
        bar.lastTenth = tenth;
        say(textf("capture: %d%%, %lld/%lld frames, show %.1f s, %.1f frames/s, %s left", tenth * 10, done,
                   bar.total, showTime, rate, clockText(left).c_str()));
    }
}

// ---------------------------------------------------------------------------
// Pictures
// ---------------------------------------------------------------------------

void readBackBuffer(int width, int height)
{
    capture.pixels.resize(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, capture.pixels.data());
}

size_t readbackBytes() { return static_cast<size_t>(capture.width) * capture.height * 4; }

// Hands the oldest frame in the ring to the encoder.
void takeOldestReadback()
{
    const int slot = capture.inFlight.front();
    capture.inFlight.pop_front();
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.readback[slot]);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (pixels) {
        std::vector<unsigned char>* frame = capture.encoder.acquire();
        packYuvPlanes(static_cast<const uint8_t*>(pixels), capture.width, capture.height, frame->data());
        capture.encoder.submit(frame);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    } else if (!capture.videoFailed) {
        say("capture: a frame could not be read back; the recording misses it");
        capture.videoFailed = true;
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

// Starts reading the back buffer into the next ring slot; the read finishes while
// the next frames are drawn.
void startReadback()
{
    const int slot = capture.nextSlot;
    capture.nextSlot = (slot + 1) % kReadbackRing;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.readback[slot]);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    // BGRA is the layout the GL driver keeps, so the copy needs no conversion.
    glReadPixels(0, 0, capture.width, capture.height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    capture.inFlight.push_back(slot);
    // Keep two frames in flight: the next read goes into the slot freed now.
    if (static_cast<int>(capture.inFlight.size()) == kReadbackRing)
        takeOldestReadback();
}

bool startEncoder(int width, int height)
{
    const CaptureSettings& s = capture.settings;
    capture.width = width;
    capture.height = height;
    // Encoding shares the processor with drawing, so it is kept cheap: the frames
    // arrive as the encoder's own planes (ffmpeg converts nothing), and x264 runs
    // its fastest preset (a third of the processor time of "veryfast" for as
    // sharp a picture at the same CRF, in files about 2.7 times the size) on one
    // thread, whose frame threads would cost more time per frame than they win.
    const std::vector<std::string> command = {
        "ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "yuv420p",
        "-video_size", std::to_string(videoSide(width)) + "x" + std::to_string(videoSide(height)), "-framerate",
        std::to_string(s.framesPerSecond), "-i", "-", "-c:v", "libx264", "-preset", "ultrafast", "-crf", "18",
        "-threads", "1", "-colorspace", "smpte170m", "-color_range", "tv", capture.videoTemp};
    if (!capture.encoder.start(command, yuvPlaneBytes(width, height))) {
        say("capture: cannot start ffmpeg");
        return false;
    }
    glGenBuffers(kReadbackRing, capture.readback);
    for (unsigned buffer : capture.readback) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(readbackBytes()), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    capture.progress.started = Clock::now();
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
    const bool kept = width == capture.width && height == capture.height;
    if (kept) {
        startReadback();
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
    if (kept)
        capture.audioFrames += frames;
    capture.soundPulled += frames;
    showProgress(showTime, false);
}

std::string absolutePath(const std::string& file)
{
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(file, error);
    return error ? file : full.lexically_normal().string();
}

void atExit() { finishCapture(0); }

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

// Lists the parts a recording leaves when it cannot be finished.
std::string partsText()
{
    return "picture in " + capture.videoTemp + ", sound in " + capture.audioTemp;
}

// Runs the muxing, which obeys the stop requests: the first lets it finish (the
// status already says the recording was stopped), a second ends the process and
// this child with it. An output that stops growing for kMuxStallSeconds ends it.
// ffmpeg's exit status; -1 when it could not start, died or was ended.
int runMuxing(const std::vector<std::string>& command, std::string& why)
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
            say(textf("capture: %s while the file is being finished; it will hold what was recorded (%s again "
                      "ends at once and leaves the parts)",
                      stop == 130 ? "Ctrl+C" : "SIGTERM", stop == 130 ? "Ctrl+C" : "SIGTERM"));
        }
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(capture.muxTemp, error);
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

// Muxes the parts into a file beside the recording and renames it only when the
// recording is whole, so a failure never leaves a broken file under the name nor
// replaces an earlier recording there. True when the recording is in place.
bool muxRecording(bool whole)
{
    const CaptureSettings& s = capture.settings;
    std::error_code ignored;
    std::filesystem::remove(capture.muxTemp, ignored);
    std::string why;
    const int muxed = runMuxing({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", capture.videoTemp, "-i",
                                 capture.audioTemp, "-c:v", "copy", "-c:a", "aac", "-b:a", "192k", "-shortest",
                                 "-movflags", "+faststart", capture.muxTemp},
                                why);
    if (muxed != 0) {
        std::filesystem::remove(capture.muxTemp, ignored);
        say(textf("capture: muxing failed (%s); %s; %s is left as it was", why.empty() ? "ffmpeg reported an error"
                                                                                     : why.c_str(),
                  partsText().c_str(), s.videoFile.c_str()));
        return false;
    }
    if (!whole) {
        say(textf("capture: the recording is incomplete; what was recorded is in %s, and %s is left as it was",
                  capture.muxTemp.c_str(), s.videoFile.c_str()));
        std::filesystem::remove(capture.videoTemp, ignored);
        std::filesystem::remove(capture.audioTemp, ignored);
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(capture.muxTemp, s.videoFile, renameError);
    if (renameError) {
        say(textf("capture: cannot put the recording in place as %s (%s); it is in %s", s.videoFile.c_str(),
                  renameError.message().c_str(), capture.muxTemp.c_str()));
        std::filesystem::remove(capture.videoTemp, ignored);
        std::filesystem::remove(capture.audioTemp, ignored);
        return false;
    }
    std::filesystem::remove(capture.videoTemp, ignored);
    std::filesystem::remove(capture.audioTemp, ignored);
    const double seconds = static_cast<double>(capture.videoFrames) / s.framesPerSecond;
    say(textf("capture: wrote %s (%lld frames, %.2f s at %d frames/s, show time %.3f to %.3f s)",
              absolutePath(s.videoFile).c_str(), capture.videoFrames, seconds, s.framesPerSecond,
              capture.firstRecorded, capture.lastRecorded));
    return true;
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
        std::string base = settings.videoFile + ".part";
        capture.videoTemp = base + ".mkv";
        capture.audioTemp = base + ".wav";
        capture.muxTemp = base + std::filesystem::path(settings.videoFile).extension().string();
        capture.audio = std::fopen(capture.audioTemp.c_str(), "wb");
        if (!capture.audio) {
            std::fprintf(stderr, "capture: cannot write %s (%s)\n", capture.audioTemp.c_str(),
                         std::error_code(errno, std::generic_category()).message().c_str());
            return 1;
        }
        writeWavHeader(0);
        setHardStopCleanup("capture: stopped at once; what was recorded is left as parts: " + partsText() + "\n",
                           capture.muxTemp);
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
        readBackBuffer(width, height);
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
    while (!capture.inFlight.empty())
        takeOldestReadback();
    if (capture.readback[0]) {
        glDeleteBuffers(kReadbackRing, capture.readback);
        std::fill(std::begin(capture.readback), std::end(capture.readback), 0u);
    }
}

int finishCapture(int status)
{
    if (!capture.started || capture.finished)
        return status;
    capture.finished = true;
    const CaptureSettings& s = capture.settings;
    bool missing = false;

    if (!s.videoFile.empty() && capture.videoFrames > 0)
        showProgress(capture.lastRecorded, true);
    if (const int stop = captureStopStatus()) {
        status = stop;
        // Frames simulated before the range are not drawn, so the show's own clock
        // says how far it got.
        say(textf("capture: stopped by %s at show time %.3f s", stop == 130 ? "Ctrl+C (SIGINT)" : "SIGTERM",
                  std::max({capture.lastShowTime, runtimeState.showTime, 0.0})));
    }
    if (!s.videoFile.empty()) {
        // Frames left in the ring when the GL context went without a flush are
        // lost; the muxing's -shortest then trims their sound.
        capture.inFlight.clear();
        const bool encoded = capture.encoder.running() && capture.encoder.finish() == 0;
        const bool soundWritten = closeAudio();
        missing = !encoded || capture.videoFailed || !soundWritten;
        if (capture.videoFrames == 0) {
            std::error_code ignored;
            std::filesystem::remove(capture.audioTemp, ignored);
            std::filesystem::remove(capture.videoTemp, ignored);
            say(capture.videoFailed ? "capture: nothing recorded"
                                    : "capture: no frame was drawn in the range; nothing recorded");
        } else {
            if (!encoded)
                say("capture: ffmpeg reported an error while encoding the pictures");
            if (!soundWritten)
                say(textf("capture: cannot write the sound file %s (%s)", capture.audioTemp.c_str(),
                          capture.audioError.c_str()));
            if (soundWritten) {
                if (!muxRecording(!missing))
                    missing = true;
            } else {
                // A sound file cut short by the disk cannot be muxed as it claims to be.
                say(textf("capture: %s; %s is left as it was", partsText().c_str(), s.videoFile.c_str()));
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
