// Screenshots and video capture. The video is written in
// two steps: while the show runs, raw frames go to an ffmpeg process and the mixed
// sound to a WAV file beside it; at exit one more ffmpeg run puts them together.
// The show's exits call exit() from inside the frame driver, so the last step runs
// from an atexit handler.
#include "app/capture.h"

#include "render/gl_api.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/process.h"
#include "runtime/sound.h"

namespace {

struct CaptureState {
    CaptureSettings settings;
    std::vector<bool> shotTaken;
    std::FILE* video = nullptr;   // pipe to ffmpeg
    std::FILE* audio = nullptr;   // WAV being written
    std::string videoTemp, audioTemp;
    long long audioFrames = 0;    // stereo frames written so far
    long long videoFrames = 0;    // pictures written so far
    std::vector<int16_t> soundBlock; // reused for every pull from the mixer
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    bool started = false;
    bool finished = false;
    bool videoStopped = false;    // ffmpeg stopped taking frames
};

CaptureState capture;

void putLe32(std::FILE* f, uint32_t v)
{
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void putLe16(std::FILE* f, uint16_t v)
{
    unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

// 44 100 Hz stereo 16-bit; the sizes are filled in when the file is closed.
void writeWavHeader(std::FILE* f, uint32_t dataBytes)
{
    std::fwrite("RIFF", 1, 4, f);
    putLe32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    putLe32(f, 16);
    putLe16(f, 1);
    putLe16(f, 2);
    putLe32(f, 44100);
    putLe32(f, 44100 * 4);
    putLe16(f, 4);
    putLe16(f, 16);
    std::fwrite("data", 1, 4, f);
    putLe32(f, dataBytes);
}

std::string shellQuoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

void readBackBuffer(int width, int height)
{
    capture.pixels.resize(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, capture.pixels.data());
}

// Mixes `frames` stereo frames of the show's sound and writes them to `out`, or
// drops them when `out` is null. Without sound, silence keeps the length.
void pullSound(long long frames, std::FILE* out)
{
    std::vector<int16_t>& block = capture.soundBlock;
    while (frames > 0) {
        const int n = static_cast<int>(std::min<long long>(frames, 4096));
        block.resize(static_cast<size_t>(n) * 2);
        if (soundPullFrames(block.data(), n) != n)
            std::fill(block.begin(), block.end(), 0);
        if (out)
            std::fwrite(block.data(), sizeof(int16_t), block.size(), out);
        frames -= n;
    }
}

void atExit() { finishCapture(); }

} // namespace

bool startCapture(const CaptureSettings& settings)
{
    capture = CaptureState();
    capture.settings = settings;
    capture.shotTaken.assign(settings.screenshots.size(), false);
    if (!settings.videoFile.empty()) {
        // The sound is mixed on this thread, frame by frame, instead of by a device.
        soundSetOutputMode(SoundOutputMode::Pulled);
        if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
            std::fprintf(stderr, "capture: ffmpeg is not installed; nothing is recorded\n");
            return false;
        }
        // An ffmpeg that stops reading must end the recording, not the show.
        ignoreBrokenPipes();
        std::string base = settings.videoFile + ".part";
        capture.videoTemp = base + ".mkv";
        capture.audioTemp = base + ".wav";
        capture.audio = std::fopen(capture.audioTemp.c_str(), "wb");
        if (!capture.audio) {
            std::fprintf(stderr, "capture: cannot write %s\n", capture.audioTemp.c_str());
            return false;
        }
        writeWavHeader(capture.audio, 0);
    }
    capture.started = true;
    std::atexit(atExit);
    return true;
}

void captureFrame(double showTime, int width, int height)
{
    if (!capture.started)
        return;
    const CaptureSettings& s = capture.settings;

    bool needPixels = !s.videoFile.empty();
    for (size_t i = 0; i < s.screenshots.size(); ++i)
        if (!capture.shotTaken[i] && showTime >= s.screenshots[i].first)
            needPixels = true;
    if (!needPixels)
        return;
    readBackBuffer(width, height);

    for (size_t i = 0; i < s.screenshots.size(); ++i) {
        if (capture.shotTaken[i] || showTime < s.screenshots[i].first)
            continue;
        capture.shotTaken[i] = true;
        if (writePng(s.screenshots[i].second, width, height, capture.pixels))
            std::fprintf(stderr, "screenshot: %s at %.3f s\n", s.screenshots[i].second.c_str(), showTime);
        else
            std::fprintf(stderr, "screenshot: cannot write %s\n", s.screenshots[i].second.c_str());
    }

    if (s.videoFile.empty() || capture.videoStopped)
        return;
    if (!capture.video) {
        capture.width = width;
        capture.height = height;
        std::string command = "ffmpeg -loglevel error -y -f rawvideo -pixel_format rgb24 -video_size " +
                              std::to_string(width) + "x" + std::to_string(height) + " -framerate " +
                              std::to_string(s.framesPerSecond) +
                              " -i - -vf vflip -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
                              shellQuoted(capture.videoTemp);
        capture.video = popen(command.c_str(), "w");
        if (!capture.video) {
            std::fprintf(stderr, "capture: cannot start ffmpeg\n");
            capture.settings.videoFile.clear();
            return;
        }
    }
    if (width != capture.width || height != capture.height)
        return; // a frame of another size (the window was resized) is left out, with its sound
    if (std::fwrite(capture.pixels.data(), 1, capture.pixels.size(), capture.video) != capture.pixels.size()) {
        std::fprintf(stderr, "capture: ffmpeg stopped taking frames at %.3f s; the recording ends there\n",
                     showTime);
        capture.videoStopped = true;
        return;
    }

    // On screen a picture is shown from its show time until the next one, and the
    // mixer started at show time zero. The first picture already shows one step
    // of show time, so the sound before it is pulled and dropped: the video then
    // opens on the sound of its first picture.
    if (capture.videoFrames == 0)
        pullSound(std::llround(showTime * 44100.0), nullptr);
    // Sound through the end of this picture's time on screen. Counting pictures
    // rather than show time keeps both streams the same length, even when show
    // time jumps.
    ++capture.videoFrames;
    const long long wanted = std::llround(static_cast<double>(capture.videoFrames) * 44100.0 / s.framesPerSecond);
    pullSound(wanted - capture.audioFrames, capture.audio);
    capture.audioFrames = std::max(capture.audioFrames, wanted);
}

void finishCapture()
{
    if (!capture.started || capture.finished)
        return;
    capture.finished = true;
    const CaptureSettings& s = capture.settings;
    if (capture.audio) {
        uint32_t bytes = static_cast<uint32_t>(capture.audioFrames * 4);
        std::fseek(capture.audio, 0, SEEK_SET);
        writeWavHeader(capture.audio, bytes);
        std::fclose(capture.audio);
        capture.audio = nullptr;
    }
    if (capture.video) {
        if (pclose(capture.video) != 0)
            std::fprintf(stderr, "capture: ffmpeg reported an error while encoding the pictures\n");
        capture.video = nullptr;
        std::string command = "ffmpeg -loglevel error -y -i " + shellQuoted(capture.videoTemp) + " -i " +
                              shellQuoted(capture.audioTemp) + " -c:v copy -c:a aac -b:a 192k -shortest " +
                              shellQuoted(s.videoFile);
        int status = std::system(command.c_str());
        if (status == 0) {
            std::filesystem::remove(capture.videoTemp);
            std::filesystem::remove(capture.audioTemp);
            std::fprintf(stderr, "capture: wrote %s\n", s.videoFile.c_str());
        } else {
            std::fprintf(stderr, "capture: muxing failed; picture in %s, sound in %s\n", capture.videoTemp.c_str(),
                         capture.audioTemp.c_str());
        }
    }
}
