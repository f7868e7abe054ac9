// Screenshots, video capture and the benchmark summary. The video is written in
// two steps: while the show runs, frames go to an ffmpeg process and the mixed
// sound to a WAV file beside it; at the end one more ffmpeg run puts them together.
// Reading a frame back and encoding it overlap with drawing the next ones: each
// frame is read into one of a ring of pixel buffers and taken out two frames later,
// and a writer thread pipes it to ffmpeg. Sound stays on the drawing thread, pulled
// frame by frame, so every volume change lands in the frame that made it.
#include "app/capture.h"

#include "render/gl_api.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/process.h"
#include "runtime/sound.h"

namespace {

constexpr int kSoundRate = 44100;
constexpr int kReadbackRing = 3;   // pixel buffers: the frame read now and two in flight
constexpr int kEncoderBuffers = 3; // frames waiting for or inside the pipe
// Show times this close below a range bound or a screenshot's time count as
// reaching it: sums of fixed steps drift by far less, so the frame meant to land
// on the bound is the one taken.
constexpr double kBoundSlackSeconds = 1e-6;

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
    std::string videoTemp, audioTemp;
    long long audioFrames = 0;    // stereo frames written so far
    long long videoFrames = 0;    // pictures handed to the encoder so far
    long long rangeFrames = 0;    // frames drawn inside the range (a skipped one too)
    long long soundPulled = 0;    // stereo frames taken from the mixer, kept or dropped
    long long soundBase = 0;      // dropped before the first frame of the range
    std::vector<int16_t> soundBlock; // reused for every pull from the mixer
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    unsigned readback[kReadbackRing] = {};
    bool planes = false;          // the GL driver packs YUV planes (else BGRA)
    unsigned planeProgram = 0, planeFramebuffer = 0;
    unsigned planeTextures[2] = {}; // the frame's copy, the planes
    struct {
        GLint activeTexture, texture, drawFramebuffer, readFramebuffer, program;
    } saved = {};
    std::deque<int> inFlight;     // ring slots read into, oldest first
    int nextSlot = 0;
    std::vector<double> frameSeconds;
    std::chrono::steady_clock::time_point lastFrame;
    bool haveLastFrame = false;
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
    putLe32(f, kSoundRate);
    putLe32(f, kSoundRate * 4);
    putLe16(f, 4);
    putLe16(f, 16);
    std::fwrite("data", 1, 4, f);
    putLe32(f, dataBytes);
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

// ---------------------------------------------------------------------------
// Planes for the encoder
// ---------------------------------------------------------------------------

// The GL driver turns each frame into the encoder's own layout, YUV 4:2:0 planes
// top row first (BT.601, limited range: what x264 is told), packed four bytes to an
// RGBA texel: ffmpeg then converts nothing and reads 1.5 bytes a pixel instead of
// 4. The target is width/4 texels wide; its first `height` rows hold Y, the next
// height/4 rows U (two chroma rows to a texel row) and the last height/4 rows V, so
// the width must be a multiple of 8 and the height of 4. Other sizes are read back
// as BGRA and converted by ffmpeg.
const char* const kPlaneVertexShader = R"(#version 120
void main() { gl_Position = gl_Vertex; }
)";

const char* const kPlaneFragmentShader = R"(#version 120
uniform sampler2D picture; // the frame, bottom row first, filtered linearly
uniform vec2 size;         // its width and height in pixels
const vec3 toY = vec3(0.299, 0.587, 0.114) * (219.0 / 255.0);
const vec3 toU = vec3(-0.168736, -0.331264, 0.5) * (224.0 / 255.0);
const vec3 toV = vec3(0.5, -0.418688, -0.081312) * (224.0 / 255.0);
// Pixel (x, y) counted from the top row: a fetch at its centre.
vec3 pixel(float x, float y) { return texture2D(picture, vec2(x + 0.5, size.y - y - 0.5) / size).rgb; }
// Mean of the 2 x 2 block whose top left pixel is (x, y): one fetch where the four meet.
vec3 block(float x, float y) { return texture2D(picture, vec2(x + 1.0, size.y - y - 1.0) / size).rgb; }
void main()
{
    float x = floor(gl_FragCoord.x), row = floor(gl_FragCoord.y);
    if (row < size.y) {
        float p = 4.0 * x;
        gl_FragColor = vec4(dot(pixel(p, row), toY), dot(pixel(p + 1.0, row), toY), dot(pixel(p + 2.0, row), toY),
                            dot(pixel(p + 3.0, row), toY)) + 16.0 / 255.0;
        return;
    }
    float q = row - size.y;
    vec3 m = toU;
    if (q >= size.y / 4.0) {
        q -= size.y / 4.0;
        m = toV;
    }
    float half = size.x / 2.0;
    float offset = q * size.x + 4.0 * x; // byte in the plane
    float cy = floor((offset + 0.5) / half);
    float cx = offset - cy * half;
    gl_FragColor = vec4(dot(block(2.0 * cx, 2.0 * cy), m), dot(block(2.0 * cx + 2.0, 2.0 * cy), m),
                        dot(block(2.0 * cx + 4.0, 2.0 * cy), m), dot(block(2.0 * cx + 6.0, 2.0 * cy), m)) +
                   128.0 / 255.0;
}
)";

bool planesFit(int width, int height) { return width % 8 == 0 && height % 4 == 0; }

unsigned compileShader(GLenum kind, const char* text)
{
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint done = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &done);
    return done ? shader : 0;
}

// False when the driver cannot do it; the frames then go as BGRA.
bool makePlanePass()
{
    const GLuint vertex = compileShader(GL_VERTEX_SHADER, kPlaneVertexShader);
    const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, kPlaneFragmentShader);
    if (!vertex || !fragment)
        return false;
    capture.planeProgram = glCreateProgram();
    glAttachShader(capture.planeProgram, vertex);
    glAttachShader(capture.planeProgram, fragment);
    glLinkProgram(capture.planeProgram);
    GLint linked = 0;
    glGetProgramiv(capture.planeProgram, GL_LINK_STATUS, &linked);
    if (!linked)
        return false;

    GLint oldTexture = 0, oldFramebuffer = 0, oldProgram = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &oldTexture);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &oldFramebuffer);
    glGetIntegerv(GL_CURRENT_PROGRAM, &oldProgram);
    glUseProgram(capture.planeProgram);
    glUniform1i(glGetUniformLocation(capture.planeProgram, "picture"), 0);
    glUniform2f(glGetUniformLocation(capture.planeProgram, "size"), static_cast<float>(capture.width),
                static_cast<float>(capture.height));
    glUseProgram(oldProgram);
    glGenTextures(2, capture.planeTextures);
    const int sizes[2][2] = {{capture.width, capture.height}, {capture.width / 4, capture.height * 3 / 2}};
    for (int i = 0; i < 2; ++i) {
        glBindTexture(GL_TEXTURE_2D, capture.planeTextures[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, i == 0 ? GL_LINEAR : GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, i == 0 ? GL_LINEAR : GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, sizes[i][0], sizes[i][1], 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, oldTexture);
    glGenFramebuffersEXT(1, &capture.planeFramebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, capture.planeFramebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, capture.planeTextures[1],
                              0);
    const bool complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, oldFramebuffer);
    return complete;
}

// Draws the planes of the finished back buffer into the plane target and leaves
// it bound for reading. Every GL state it touches is put back by finishPlanePass,
// so the show's next frames are drawn as without a capture.
void drawPlanes()
{
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &capture.saved.activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &capture.saved.texture);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING_EXT, &capture.saved.drawFramebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING_EXT, &capture.saved.readFramebuffer);
    glGetIntegerv(GL_CURRENT_PROGRAM, &capture.saved.program);

    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 0);
    glReadBuffer(GL_BACK);
    glBindTexture(GL_TEXTURE_2D, capture.planeTextures[0]);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, capture.width, capture.height);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, capture.planeFramebuffer);
    glViewport(0, 0, capture.width / 4, capture.height * 3 / 2);
    for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_CULL_FACE, GL_ALPHA_TEST, GL_STENCIL_TEST,
                       GL_DITHER, GL_COLOR_LOGIC_OP})
        glDisable(cap);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glUseProgram(capture.planeProgram);
    glBegin(GL_TRIANGLES);
    glVertex2f(-1, -1);
    glVertex2f(3, -1);
    glVertex2f(-1, 3);
    glEnd();
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
}

void finishPlanePass()
{
    glUseProgram(capture.saved.program);
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, capture.saved.drawFramebuffer);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, capture.saved.readFramebuffer);
    glBindTexture(GL_TEXTURE_2D, capture.saved.texture);
    glActiveTexture(capture.saved.activeTexture);
    glPopAttrib();
}

// ---------------------------------------------------------------------------
// Read-back ring
// ---------------------------------------------------------------------------

size_t videoFrameBytes()
{
    const size_t pixels = static_cast<size_t>(capture.width) * capture.height;
    return capture.planes ? pixels * 3 / 2 : pixels * 4;
}

// Hands the oldest frame in the ring to the encoder.
void takeOldestReadback()
{
    const int slot = capture.inFlight.front();
    capture.inFlight.pop_front();
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.readback[slot]);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (pixels) {
        std::vector<unsigned char>* frame = capture.encoder.acquire();
        std::memcpy(frame->data(), pixels, frame->size());
        capture.encoder.submit(frame);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    } else if (!capture.videoFailed) {
        say("capture: a frame could not be read back; the recording misses it");
        capture.videoFailed = true;
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

// Starts reading the frame into the next ring slot; the read finishes while the
// next frames are drawn.
void startReadback()
{
    if (static_cast<int>(capture.inFlight.size()) == kReadbackRing)
        takeOldestReadback();
    const int slot = capture.nextSlot;
    capture.nextSlot = (slot + 1) % kReadbackRing;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.readback[slot]);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (capture.planes) {
        drawPlanes();
        glReadPixels(0, 0, capture.width / 4, capture.height * 3 / 2, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        finishPlanePass();
    } else {
        glReadBuffer(GL_BACK);
        // BGRA is the layout the GL driver keeps, so the copy needs no conversion.
        glReadPixels(0, 0, capture.width, capture.height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    }
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
    capture.planes = planesFit(width, height) && makePlanePass();
    // Encoding shares the processor with drawing, so it is kept cheap: x264's
    // fastest preset (a third of the processor time of "veryfast" for as good a
    // picture at the same CRF, in files about 2.7 times the size) on one thread,
    // whose frame threads would cost more time per frame than they win here.
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo",
                                        "-pixel_format", capture.planes ? "yuv420p" : "bgra", "-video_size",
                                        std::to_string(width) + "x" + std::to_string(height), "-framerate",
                                        std::to_string(s.framesPerSecond), "-i", "-"};
    if (!capture.planes) // bottom row first; 4:2:0 needs even sides
        command.insert(command.end(), {"-vf", "vflip,crop=trunc(iw/2)*2:trunc(ih/2)*2"});
    command.insert(command.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "18", "-threads", "1",
                                   "-pix_fmt", "yuv420p", "-colorspace", "smpte170m", "-color_range", "tv",
                                   capture.videoTemp});
    if (!capture.encoder.start(command, videoFrameBytes())) {
        say("capture: cannot start ffmpeg");
        return false;
    }
    glGenBuffers(kReadbackRing, capture.readback);
    for (unsigned buffer : capture.readback) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(videoFrameBytes()), nullptr, GL_STREAM_READ);
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
        pullSound(capture.soundBase, nullptr);
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
    pullSound(frames, kept ? capture.audio : nullptr);
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

} // namespace

bool startCapture(const CaptureSettings& settings)
{
    capture.settings = settings;
    capture.shotTaken.assign(settings.screenshots.size(), false);
    capture.shotFailed.assign(settings.screenshots.size(), false);
    if (!settings.videoFile.empty()) {
        // The sound is mixed on this thread, frame by frame, instead of by a device.
        soundSetOutputMode(SoundOutputMode::Pulled);
        if (!programAvailable("ffmpeg")) {
            std::fprintf(stderr, "capture: ffmpeg is not installed; nothing is recorded\n");
            return false;
        }
        std::string base = settings.videoFile + ".part";
        capture.videoTemp = base + ".mkv";
        capture.audioTemp = base + ".wav";
        capture.audio = std::fopen(capture.audioTemp.c_str(), "wb");
        if (!capture.audio) {
            std::fprintf(stderr, "capture: cannot write %s\n", capture.audioTemp.c_str());
            return false;
        }
        writeWavHeader(capture.audio, 0);
        capture.progress.terminal = standardErrorIsTerminal();
        capture.progress.total = framesInRange(settings);
        if (settings.fromSeconds > 0)
            say(textf("capture: recording from show time %.3f s; the show up to there runs without drawing",
                      settings.fromSeconds));
        catchStopRequests();
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

    if (s.benchmark) {
        auto now = std::chrono::steady_clock::now();
        if (capture.haveLastFrame)
            capture.frameSeconds.push_back(std::chrono::duration<double>(now - capture.lastFrame).count());
        capture.lastFrame = now;
        capture.haveLastFrame = true;
    }

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
            if (writePng(s.screenshots[i].second, width, height, capture.pixels)) {
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
    if (capture.planeFramebuffer) {
        glDeleteFramebuffersEXT(1, &capture.planeFramebuffer);
        glDeleteTextures(2, capture.planeTextures);
        glDeleteProgram(capture.planeProgram);
        capture.planeFramebuffer = 0;
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
        say(textf("capture: stopped by %s at show time %.3f s", stop == 130 ? "Ctrl+C (SIGINT)" : "SIGTERM",
                  std::max(capture.lastShowTime, 0.0)));
    }
    if (!s.videoFile.empty()) {
        // Frames left in the ring when the GL context went without a flush are
        // lost; the muxing's -shortest then trims their sound.
        capture.inFlight.clear();
        const bool encoded = capture.encoder.running() && capture.encoder.finish() == 0;
        if (capture.audio) {
            uint32_t bytes = static_cast<uint32_t>(capture.audioFrames * 4);
            std::fseek(capture.audio, 0, SEEK_SET);
            writeWavHeader(capture.audio, bytes);
            std::fclose(capture.audio);
            capture.audio = nullptr;
        }
        missing = !encoded || capture.videoFailed;
        if (capture.videoFrames == 0) {
            std::error_code ignored;
            std::filesystem::remove(capture.audioTemp, ignored);
            std::filesystem::remove(capture.videoTemp, ignored);
            say(capture.videoFailed ? "capture: nothing recorded"
                                    : "capture: no frame was drawn in the range; nothing recorded");
        } else {
            if (!encoded)
                say("capture: ffmpeg reported an error while encoding the pictures");
            const int muxed = runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", capture.videoTemp,
                                          "-i", capture.audioTemp, "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
                                          "-shortest", "-movflags", "+faststart", s.videoFile});
            if (muxed == 0) {
                std::error_code ignored;
                std::filesystem::remove(capture.videoTemp, ignored);
                std::filesystem::remove(capture.audioTemp, ignored);
                const double seconds = static_cast<double>(capture.videoFrames) / s.framesPerSecond;
                say(textf("capture: wrote %s (%lld frames, %.2f s at %d frames/s, show time %.3f to %.3f s)",
                          absolutePath(s.videoFile).c_str(), capture.videoFrames, seconds, s.framesPerSecond,
                          capture.firstRecorded, capture.lastRecorded));
            } else {
                say(textf("capture: muxing failed; picture in %s, sound in %s", capture.videoTemp.c_str(),
                          capture.audioTemp.c_str()));
                missing = true;
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
    if (missing && status == 0)
        status = kExitRecording;
    if (s.benchmark && !capture.frameSeconds.empty()) {
        std::vector<double> sorted = capture.frameSeconds;
        std::sort(sorted.begin(), sorted.end());
        double total = 0;
        for (double v : sorted)
            total += v;
        auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))]; };
        std::printf("benchmark: %zu frames, mean %.2f ms (%.1f fps), median %.2f ms, 95th %.2f ms, worst %.2f ms\n",
                    sorted.size(), 1000 * total / sorted.size(), sorted.size() / total, 1000 * at(0.5),
                    1000 * at(0.95), 1000 * sorted.back());
        std::fflush(stdout);
    }
    return status;
}
