// The synthesis engine's voices, filters, reverb, limiter and MP3 writer.
// All arithmetic is plain float/double without fast-math, in a fixed order, so a
// render repeats bit for bit on the same build.
#include "tools/assetgen/music/synth.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Constant-power pan, pan -1 (left) .. 1 (right).
void panGains(float pan, float& left, float& right)
{
    const float a = static_cast<float>((clampf(pan, -1.0f, 1.0f) + 1.0f) * 0.25 * kPi);
    left = std::cos(a);
    right = std::sin(a);
}

// Coefficient of a one-pole smoother that covers about 99 % of a step in `seconds`.
float settleCoef(float seconds)
{
    if (seconds <= 0.0f)
        return 0.0f;
    return static_cast<float>(std::exp(-4.6 / (seconds * kSampleRate)));
}

// Band-limited step correction for the saw (two-sample polynomial).
double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

} // namespace

#if defined(__SSE__)
DenormalGuard::DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
DenormalGuard::~DenormalGuard() { _mm_setcsr(saved); }
#else
DenormalGuard::DenormalGuard() : saved(0) {}
DenormalGuard::~DenormalGuard() {}
#endif

double midiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

float dbToGain(float db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

// ---------------------------------------------------------------------------
// Filters and envelopes

void SvfFilter::setup(float cutoffHz, float q)
{
    cutoffHz = clampf(cutoffHz, 10.0f, 0.45f * kSampleRate);
    g = static_cast<float>(std::tan(kPi * cutoffHz / kSampleRate));
    k = 1.0f / q;
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

float SvfFilter::process(float x)
{
    const float v3 = x - ic2;
    const float v1 = a1 * ic1 + a2 * v3;
    const float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    low = v2;
    band = v1;
    high = x - k * v1 - v2;
    return low;
}

void EnvelopeState::start(const Envelope& e)
{
    stage = kAttack;
    value = 0.0f;
    attackStep = e.attackSeconds > 0 ? 1.0f / (e.attackSeconds * kSampleRate) : 1.0f;
    decayCoef = settleCoef(e.decaySeconds);
    releaseCoef = settleCoef(e.releaseSeconds);
    sustain = e.sustain;
}

int EnvelopeState::startAfterDelay(int& delay, int frames, const Envelope& e)
{
    if (delay <= 0)
        return 0;
    if (delay >= frames) {
        delay -= frames;
        if (delay == 0)
            start(e);
        return frames;
    }
    int first = delay;
    delay = 0;
    start(e);
    return first;
}

float EnvelopeState::next()
{
    switch (stage) {
    case kIdle:
        return 0.0f;
    case kAttack:
        value += attackStep;
        if (value >= 1.0f) {
            value = 1.0f;
            stage = kDecay;
        }
        break;
    case kDecay:
        value = sustain + (value - sustain) * decayCoef;
        if (std::fabs(value - sustain) < 1e-4f)
            stage = kSustain;
        break;
    case kSustain:
        value = sustain;
        break;
    case kRelease:
        value *= releaseCoef;
        if (value < 1e-5f) {
            value = 0.0f;
            stage = kIdle;
        }
        break;
    }
    return value;
}

// ---------------------------------------------------------------------------
// Plucked strings

float pluck_voice::String::tick(bool damping)
{
    // Read `length + frac` samples behind the write position (linear interpolation).
    int r0 = pos - length;
    if (r0 < 0)
        r0 += kMaxDelay;
    int r1 = r0 - 1;
    if (r1 < 0)
        r1 += kMaxDelay;
    const float out = line[r0] * (1.0f - frac) + line[r1] * frac;
    lp += coef * (out - lp);
    line[pos] = lp * (damping ? damped : gain);
    if (++pos == kMaxDelay)
        pos = 0;
    return out;
}

void pluck_voice::start(double note, float velocity, float pan, int delayFrames, int holdFrames, uint32_t seed)
{
    NoiseSource noise(seed);
    const double f0 = midiToHz(note);
    // Brighter loop filter for high notes, so their upper partials do not die at once.
    const float coef = clampf(static_cast<float>(0.62 + 0.16 * std::log2(f0 / 220.0) + 0.08 * (velocity - 0.5f)),
                              0.45f, 0.95f);
    const double t60 = 7.0 * std::pow(65.0 / f0, 0.38);
    const double detune[2] = {0.99965, 1.00035};
    // Felt hammer: a raised-cosine bump, narrower (brighter) when struck harder.
    const float width = clampf(0.22f - 0.14f * velocity, 0.06f, 0.3f);
    for (int s = 0; s < 2; ++s) {
        String& st = strings_[s];
        const double f = f0 * detune[s];
        const double w = 2.0 * kPi * f / kSampleRate;
        const double c = coef;
        // The loop filter delays the fundamental a little; take that out of the line.
        const double lpDelay = std::atan2((1.0 - c) * std::sin(w), 1.0 - (1.0 - c) * std::cos(w)) / w;
        double d = kSampleRate / f - lpDelay;
        d = std::clamp(d, 2.0, static_cast<double>(kMaxDelay - 4));
        st.length = static_cast<int>(d);
        st.frac = static_cast<float>(d - st.length);
        st.coef = coef;
        st.gain = static_cast<float>(std::pow(10.0, -3.0 / (t60 * f)));
        st.damped = static_cast<float>(std::pow(10.0, -3.0 / (0.35 * f)));
        st.lp = 0.0f;
        std::fill(st.line, st.line + kMaxDelay, 0.0f);
        const int n = st.length + 2;
        float mean = 0.0f, smooth = 0.0f;
        const float centre = 0.18f + 0.04f * s;
        for (int i = 0; i < n; ++i) {
            const float x = static_cast<float>(i) / n;
            float bump = 0.0f;
            if (std::fabs(x - centre) < width)
                bump = 0.5f + 0.5f * static_cast<float>(std::cos(kPi * (x - centre) / width));
            smooth += 0.3f * (noise.bipolar() - smooth);
            st.line[i] = bump + 0.25f * velocity * smooth;
            mean += st.line[i];
        }
        mean /= n;
        float peak = 1e-6f;
        for (int i = 0; i < n; ++i) {
            st.line[i] -= mean;
            peak = std::max(peak, std::fabs(st.line[i]));
        }
        for (int i = 0; i < n; ++i)
            st.line[i] /= peak;
        st.pos = n;
    }
    panGains(pan, panL_, panR_);
    level_ = 0.5f * (0.15f + 0.85f * velocity * velocity);
    delay_ = delayFrames;
    hold_ = holdFrames;
    age_ = 0;
    quietBlocks_ = 0;
    active_ = true;
}

void pluck_voice::render(float* left, float* right, int frames)
{
    if (!active_)
        return;
    int i = 0;
    if (delay_ > 0) {
        i = std::min(delay_, frames);
        delay_ -= i;
    }
    float peak = 0.0f;
    for (; i < frames; ++i) {
        const bool damping = age_ >= hold_;
        const float v = (strings_[0].tick(damping) + strings_[1].tick(damping)) * level_;
        left[i] += v * panL_;
        right[i] += v * panR_;
        peak = std::max(peak, std::fabs(v));
        ++age_;
    }
    if (delay_ == 0) {
        quietBlocks_ = peak < 3e-5f ? quietBlocks_ + 1 : 0;
        if (quietBlocks_ > 8 || age_ > 14 * kSampleRate)
            active_ = false;
    }
}

// ---------------------------------------------------------------------------
// Pads

void pad_voice::start(double note, float velocity, float cutoffHz, const Envelope& env, int delayFrames,
                      int holdFrames, uint32_t seed)
{
    NoiseSource noise(seed);
    static const double kCents[3] = {-9.0, 0.5, 8.0};
    static const float kPans[3] = {-0.8f, 0.0f, 0.8f};
    const double f0 = midiToHz(note);
    for (int i = 0; i < 3; ++i) {
        step_[i] = f0 * std::pow(2.0, kCents[i] / 1200.0) / kSampleRate;
        phase_[i] = noise.unit();
        panGains(kPans[i], gainL_[i], gainR_[i]);
        gainL_[i] *= 0.33f;
        gainR_[i] *= 0.33f;
    }
    filterL_ = SvfFilter();
    filterR_ = SvfFilter();
    shape_ = env;
    env_.stage = EnvelopeState::kIdle;
    cutoff_ = cutoffHz;
    level_ = velocity;
    lfoPhase_ = noise.unit() * 6.2831853f;
    delay_ = delayFrames;
    hold_ = holdFrames;
    age_ = 0;
    if (delay_ == 0)
        env_.start(shape_);
}

void pad_voice::render(float* left, float* right, int frames)
{
    int i = env_.startAfterDelay(delay_, frames, shape_);
    if (i == frames)
        return;
    if (env_.stage == EnvelopeState::kIdle)
        return;
    // The cutoff drifts slowly; recomputing it once per block is enough.
    lfoPhase_ += static_cast<float>(2.0 * kPi * 0.07 * frames / kSampleRate);
    if (lfoPhase_ > 6.2831853f)
        lfoPhase_ -= 6.2831853f;
    const float cutoff = cutoff_ * (1.0f + 0.22f * std::sin(lfoPhase_)) * (0.55f + 0.45f * env_.value);
    filterL_.setup(cutoff, 0.75f);
    filterR_.setup(cutoff, 0.75f);
    for (; i < frames; ++i) {
        if (age_ == hold_)
            env_.release();
        ++age_;
        float sl = 0.0f, sr = 0.0f;
        for (int o = 0; o < 3; ++o) {
            const double p = phase_[o];
            const float saw = static_cast<float>(2.0 * p - 1.0 - polyBlep(p, step_[o]));
            sl += saw * gainL_[o];
            sr += saw * gainR_[o];
            double np = p + step_[o];
            if (np >= 1.0)
                np -= 1.0;
            phase_[o] = np;
        }
        const float e = env_.next() * level_;
        left[i] += filterL_.process(sl) * e;
        right[i] += filterR_.process(sr) * e;
        if (env_.stage == EnvelopeState::kIdle)
            break;
    }
}

// ---------------------------------------------------------------------------
// Bass

namespace {
const Envelope kBassShape{0.012f, 0.9f, 0.55f, 0.25f};
}

void bass_voice::start(double note, float velocity, int delayFrames, int holdFrames)
{
    step_ = midiToHz(note) / kSampleRate;
    phase_ = 0.0;
    lp_ = 0.0f;
    level_ = velocity;
    delay_ = delayFrames;
    hold_ = holdFrames;
    env_.stage = EnvelopeState::kIdle;
    if (delay_ == 0)
        env_.start(kBassShape);
}

void bass_voice::render(float* left, float* right, int frames)
{
    int i = env_.startAfterDelay(delay_, frames, kBassShape);
    if (i == frames)
        return;
    for (; i < frames && env_.stage != EnvelopeState::kIdle; ++i) {
        if (hold_-- == 0)
            env_.release();
        const double w = 2.0 * kPi * phase_;
        const float saw = static_cast<float>(2.0 * phase_ - 1.0 - polyBlep(phase_, step_));
        lp_ += 0.06f * (saw - lp_);
        const float v = static_cast<float>(std::sin(w) + 0.22 * std::sin(2.0 * w)) + 0.35f * lp_;
        phase_ += step_;
        if (phase_ >= 1.0)
            phase_ -= 1.0;
        const float out = v * env_.next() * level_;
        left[i] += out;
        right[i] += out;
    }
}

// ---------------------------------------------------------------------------
// Percussion

void drum_voice::start(DrumKind kind, float velocity, float pan, int delayFrames, uint32_t seed)
{
    kind_ = kind;
    noise_ = NoiseSource(seed);
    filter_ = SvfFilter();
    switch (kind) {
    case DrumKind::kKick:   length_ = kSampleRate; decay_ = 0.22f; break;
    case DrumKind::kBrush:  length_ = kSampleRate / 2; decay_ = 0.09f; filter_.setup(4500.0f, 0.8f); break;
    case DrumKind::kRim:    length_ = kSampleRate * 8 / 10; decay_ = 0.16f; filter_.setup(1800.0f, 0.6f); break;
    case DrumKind::kShaker: length_ = kSampleRate * 3 / 10; decay_ = 0.045f; filter_.setup(7000.0f, 0.7f); break;
    }
    panGains(pan, panL_, panR_);
    level_ = velocity;
    delay_ = delayFrames;
    age_ = 0;
    phase_ = 0.0;
    amp_ = 1.0f;
    active_ = true;
}

void drum_voice::render(float* left, float* right, int frames)
{
    if (!active_)
        return;
    int i = 0;
    if (delay_ > 0) {
        i = std::min(delay_, frames);
        delay_ -= i;
    }
    const float decayCoef = static_cast<float>(std::exp(-1.0 / (decay_ * kSampleRate)));
    for (; i < frames; ++i, ++age_) {
        if (age_ >= length_) {
            active_ = false;
            return;
        }
        const float t = static_cast<float>(age_) / kSampleRate;
        float v = 0.0f;
        switch (kind_) {
        case DrumKind::kKick: {
            const double f = 48.0 + 70.0 * std::exp(-t / 0.03);
            phase_ += f / kSampleRate;
            if (phase_ >= 1.0)
                phase_ -= 1.0;
            amp_ *= decayCoef;
            const float attack = std::min(1.0f, t / 0.003f);
            v = static_cast<float>(std::sin(2.0 * kPi * phase_)) * amp_ * attack;
            break;
        }
        case DrumKind::kBrush:
        case DrumKind::kShaker: {
            filter_.process(noise_.bipolar());
            amp_ *= decayCoef;
            const float attack = std::min(1.0f, t / (kind_ == DrumKind::kShaker ? 0.008f : 0.003f));
            v = (kind_ == DrumKind::kShaker ? filter_.high : filter_.band) * amp_ * attack;
            break;
        }
        case DrumKind::kRim: {
            filter_.process(noise_.bipolar());
            amp_ *= decayCoef;
            phase_ += 185.0 / kSampleRate;
            const float tone = static_cast<float>(std::sin(2.0 * kPi * phase_)) * std::exp(-t / 0.05f);
            const float attack = std::min(1.0f, t / 0.004f);
            v = (filter_.band * amp_ + 0.3f * tone) * attack;
            break;
        }
        }
        // The last 40 ms fade out, so cutting the hit off never clicks.
        const int remaining = length_ - age_;
        if (remaining < kSampleRate / 25)
            v *= static_cast<float>(remaining) / (kSampleRate / 25);
        v *= level_;
        left[i] += v * panL_;
        right[i] += v * panR_;
    }
}

// ---------------------------------------------------------------------------
// Reverb

stereo_reverb::stereo_reverb(float roomSize, float damping, float preDelaySeconds)
    : feedback_(roomSize), damping_(damping)
{
    static const int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int kAllpasses[4] = {556, 441, 341, 225};
    const int spread[2] = {0, 23};
    for (int side = 0; side < 2; ++side) {
        for (int c = 0; c < 8; ++c)
            combs_[side][c].line.assign(kCombs[c] + spread[side], 0.0f);
        for (int a = 0; a < 4; ++a)
            allpasses_[side][a].line.assign(kAllpasses[a] + spread[side], 0.0f);
        pre_[side].assign(std::max(1, static_cast<int>(preDelaySeconds * kSampleRate)), 0.0f);
    }
}

void stereo_reverb::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                            int frames)
{
    const int preLength = static_cast<int>(pre_[0].size());
    for (int i = 0; i < frames; ++i) {
        const float dryL = pre_[0][prePos_], dryR = pre_[1][prePos_];
        pre_[0][prePos_] = inLeft[i];
        pre_[1][prePos_] = inRight[i];
        if (++prePos_ == preLength)
            prePos_ = 0;
        // A little of the other side goes into each tank so a hard-panned source
        // still fills both sides.
        const float in[2] = {(0.65f * dryL + 0.35f * dryR) * 0.03f, (0.65f * dryR + 0.35f * dryL) * 0.03f};
        float out[2];
        for (int side = 0; side < 2; ++side) {
            float acc = 0.0f;
            for (Comb& c : combs_[side]) {
                const float y = c.line[c.pos];
                c.store = y * (1.0f - damping_) + c.store * damping_;
                c.line[c.pos] = in[side] + c.store * feedback_;
                if (++c.pos == static_cast<int>(c.line.size()))
                    c.pos = 0;
                acc += y;
            }
            for (Allpass& a : allpasses_[side]) {
                const float b = a.line[a.pos];
                a.line[a.pos] = acc + b * 0.5f;
                acc = b - acc;
                if (++a.pos == static_cast<int>(a.line.size()))
                    a.pos = 0;
            }
            out[side] = acc;
        }
        outLeft[i] += out[0];
        outRight[i] += out[1];
    }
}

// ---------------------------------------------------------------------------
// Limiter

void limitPeaks(StereoBuffer& buffer, float ceiling, float attackSeconds, float releaseSeconds)
{
    const int n = buffer.frames();
    if (n == 0)
        return;
    std::vector<float> gain(n);
    for (int i = 0; i < n; ++i) {
        const float peak = std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i]));
        gain[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Backwards: start lowering the gain `attackSeconds` before each peak.
    const float attackStep = 1.0f / std::max(1.0f, attackSeconds * kSampleRate);
    for (int i = n - 2; i >= 0; --i)
        gain[i] = std::min(gain[i], gain[i + 1] + attackStep);
    // Forwards: recover smoothly, never above what the peaks allow. The reduction is
    // kept as its own small number: stepping the gain itself towards 1 stalls once a
    // step is below half a float ulp, and the gain would never quite come back.
    const float release = settleCoef(releaseSeconds);
    float reduction = 1.0f - gain[0];
    for (int i = 0; i < n; ++i) {
        reduction *= release;
        float g = 1.0f - reduction;
        if (gain[i] < g) {
            g = gain[i];
            reduction = 1.0f - g;
        }
        buffer.left[i] *= g;
        buffer.right[i] *= g;
    }
}

// ---------------------------------------------------------------------------
// MP3

bool encodeMp3(const StereoBuffer& buffer, int kbps, std::vector<uint8_t>& out, std::string* error)
{
    out.clear();
    lame_global_flags* gfp = lame_init();
    if (!gfp) {
        if (error)
            *error = "lame_init failed";
        return false;
    }
    lame_set_in_samplerate(gfp, kSampleRate);
    lame_set_out_samplerate(gfp, kSampleRate);
    lame_set_num_channels(gfp, 2);
    lame_set_mode(gfp, JOINT_STEREO);
    lame_set_VBR(gfp, vbr_off);
    lame_set_brate(gfp, kbps);
    lame_set_quality(gfp, 2);
    // The Info frame is what lets a decoder drop the encoder's start delay and end
    // padding; without it a loop would click. Its contents depend only on the audio.
    lame_set_bWriteVbrTag(gfp, 1);
    if (lame_init_params(gfp) < 0) {
        lame_close(gfp);
        if (error)
            *error = "lame_init_params rejected the settings";
        return false;
    }
    constexpr int kChunk = 1152 * 32;
    std::vector<unsigned char> mp3(kChunk * 5 / 4 + 7200);
    const int frames = buffer.frames();
    for (int start = 0; start < frames; start += kChunk) {
        const int count = std::min(kChunk, frames - start);
        const int written = lame_encode_buffer_ieee_float(gfp, buffer.left.data() + start, buffer.right.data() + start,
                                                          count, mp3.data(), static_cast<int>(mp3.size()));
        if (written < 0) {
            lame_close(gfp);
            if (error)
                *error = "lame_encode_buffer_ieee_float failed (" + std::to_string(written) + ")";
            return false;
        }
        out.insert(out.end(), mp3.begin(), mp3.begin() + written);
    }
    const int tail = lame_encode_flush(gfp, mp3.data(), static_cast<int>(mp3.size()));
    if (tail < 0) {
        lame_close(gfp);
        if (error)
            *error = "lame_encode_flush failed";
        return false;
    }
    out.insert(out.end(), mp3.begin(), mp3.begin() + tail);
    // The first frame written was a placeholder; the finished Info frame replaces it.
    std::vector<unsigned char> tag(4096);
    const size_t tagSize = lame_get_lametag_frame(gfp, tag.data(), tag.size());
    lame_close(gfp);
    if (tagSize == 0 || tagSize > out.size() || tagSize > tag.size()) {
        if (error)
            *error = "no Info frame from the encoder";
        return false;
    }
    std::copy(tag.begin(), tag.begin() + tagSize, out.begin());
    return true;
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool writeMp3File(const StereoBuffer& buffer, int kbps, const std::string& path, std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!encodeMp3(buffer, kbps, bytes, error))
        return false;
    if (!writeFileBytes(path, bytes)) {
        if (error)
            *error = "cannot write " + path;
        return false;
    }
    return true;
}
