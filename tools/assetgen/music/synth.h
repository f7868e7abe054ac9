// The asset generator's small synthesis engine: plucked strings, detuned-saw pads,
// a round bass, soft noise percussion, a stereo reverb, a peak limiter and the MP3
// writer. Everything is single-threaded, float, and seeded by integers so a render
// gives the same bytes every time. Depends on libmp3lame only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// Planar stereo, -1..1 full scale.
struct StereoBuffer {
    std::vector<float> left, right;
    void resize(int frames) { left.assign(frames, 0.0f); right.assign(frames, 0.0f); }
    int frames() const { return static_cast<int>(left.size()); }
};

// Our own generator (xorshift32): the C++ library's distributions may change
// between library versions, the assets must not.
struct NoiseSource {
    uint32_t state;
    explicit NoiseSource(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    uint32_t next() { state ^= state << 13; state ^= state >> 17; state ^= state << 5; return state; }
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); } // 0..1
    float bipolar() { return unit() * 2.0f - 1.0f; }                               // -1..1
};

// Flushes denormals to zero while it lives: decaying tails must not crawl through
// the slow denormal range. Same result on every run of the same build.
struct DenormalGuard {
    unsigned saved;
    DenormalGuard();
    ~DenormalGuard();
};

double midiToHz(double note);
float dbToGain(float db);

// Topology-preserving state-variable filter; outputs low, band and high at once.
struct SvfFilter {
    float g = 0, k = 1, a1 = 0, a2 = 0, a3 = 0, ic1 = 0, ic2 = 0;
    float low = 0, band = 0, high = 0;
    void setup(float cutoffHz, float q);
    float process(float x);
};

// Linear attack, exponential decay to the sustain level and exponential release.
struct Envelope {
    float attackSeconds = 0.01f, decaySeconds = 0.3f, sustain = 0.7f, releaseSeconds = 0.3f;
};

struct EnvelopeState {
    enum Stage { kIdle, kAttack, kDecay, kSustain, kRelease } stage = kIdle;
    float value = 0, attackStep = 0, decayCoef = 0, releaseCoef = 0, sustain = 0;
    void start(const Envelope& e);
    // Counts a note's start delay down over a block of `frames`: returns the frame
    // at which rendering begins (the envelope started there), or `frames` when the
    // note is still waiting. A note due exactly at the block's end starts with the
    // next block.
    int startAfterDelay(int& delay, int frames, const Envelope& e);
    void release() { if (stage != kIdle) stage = kRelease; }
    float next();
};

// One piano-like note: two slightly detuned plucked strings (delay line with a
// lowpass in the loop), a felt-hammer excitation and a damper on release.
class pluck_voice {
public:
    void start(double note, float velocity, float pan, int delayFrames, int holdFrames, uint32_t seed);
    void render(float* left, float* right, int frames);
    bool active() const { return active_; }
private:
    static constexpr int kMaxDelay = 2048;
    struct String {
        float line[kMaxDelay];
        int length = 0, pos = 0;
        float frac = 0, gain = 0, damped = 0, coef = 0, lp = 0;
        float tick(bool damping);
    };
    String strings_[2];
    bool active_ = false;
    int delay_ = 0, hold_ = 0, age_ = 0, quietBlocks_ = 0;
    float panL_ = 0, panR_ = 0, level_ = 0;
};

// A pad note: three detuned band-limited saws spread across the stereo field,
// through a lowpass whose cutoff breathes slowly.
class pad_voice {
public:
    void start(double note, float velocity, float cutoffHz, const Envelope& env, int delayFrames,
               int holdFrames, uint32_t seed);
    void render(float* left, float* right, int frames);
    bool active() const { return env_.stage != EnvelopeState::kIdle || delay_ > 0; }
private:
    double phase_[3] = {}, step_[3] = {};
    float gainL_[3] = {}, gainR_[3] = {};
    SvfFilter filterL_, filterR_;
    EnvelopeState env_;
    Envelope shape_;
    int delay_ = 0, hold_ = 0, age_ = 0;
    float cutoff_ = 1000, level_ = 0, lfoPhase_ = 0;
};

// A round bass note: sine with a little second harmonic and a softened saw.
class bass_voice {
public:
    void start(double note, float velocity, int delayFrames, int holdFrames);
    void render(float* left, float* right, int frames);
    bool active() const { return env_.stage != EnvelopeState::kIdle || delay_ > 0; }
private:
    double phase_ = 0, step_ = 0;
    float lp_ = 0, level_ = 0;
    EnvelopeState env_;
    int delay_ = 0, hold_ = 0;
};

// Soft percussion made of noise and short sine sweeps.
enum class DrumKind { kKick, kBrush, kRim, kShaker };

class drum_voice {
public:
    void start(DrumKind kind, float velocity, float pan, int delayFrames, uint32_t seed);
    void render(float* left, float* right, int frames);
    bool active() const { return active_; }
private:
    DrumKind kind_ = DrumKind::kKick;
    NoiseSource noise_{1};
    SvfFilter filter_;
    bool active_ = false;
    int delay_ = 0, age_ = 0, length_ = 0;
    double phase_ = 0;
    float level_ = 0, panL_ = 0, panR_ = 0, decay_ = 0, amp_ = 0;
};

// Stereo reverb: parallel damped combs into series allpasses per side, the right
// side with slightly longer lines for width, behind a short pre-delay.
class stereo_reverb {
public:
    stereo_reverb(float roomSize, float damping, float preDelaySeconds);
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames);
private:
    struct Comb { std::vector<float> line; int pos = 0; float store = 0; };
    struct Allpass { std::vector<float> line; int pos = 0; };
    Comb combs_[2][8];
    Allpass allpasses_[2][4];
    std::vector<float> pre_[2];
    int prePos_ = 0;
    float feedback_, damping_;
};

// Offline peak limiter: never lets |sample| exceed the ceiling, ramps the gain down
// ahead of a peak and lets it recover smoothly afterwards.
void limitPeaks(StereoBuffer& buffer, float ceiling, float attackSeconds, float releaseSeconds);

// CBR MP3 at 44 100 Hz stereo. The Info frame at the start carries the encoder
// delay and padding so gapless decoders return exactly buffer.frames() frames.
bool encodeMp3(const StereoBuffer& buffer, int kbps, std::vector<uint8_t>& out, std::string* error);
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Encodes a rendered track and writes it; false with the reason in *error.
bool writeMp3File(const StereoBuffer& buffer, int kbps, const std::string& path, std::string* error);
