// The sound layer's mixer: pending-command hand-over and the per-channel sum.
// Gains are applied as integer products (sample x volume) and the sum is divided by
// 255 once, rounding half away from zero, so one channel at 255 reproduces its
// sample bit for bit and a volume of 0 gives exact silence.
#include "audio/sound_mixer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kBlockFrames = 256; // accumulator block on the audio thread's stack

bool isMixerChannel(int channel) { return channel >= 0 && channel < sound_mixer::kMaxChannels; }

int16_t scaleDown(int32_t acc) {
    const int32_t v = acc >= 0 ? (acc + 127) / 255 : -((-acc + 127) / 255);
    return int16_t(std::clamp<int32_t>(v, -32768, 32767));
}

} // namespace

// ---------------------------------------------------------------------------
// Control thread
// ---------------------------------------------------------------------------

sound_mixer::Pending& sound_mixer::pendingFor(int channel) {
    dirty_.store(true, std::memory_order_release);
    return pending_[channel];
}

void sound_mixer::play(int channel, const int16_t* frames, uint32_t frameCount, bool loop) {
    if (!isMixerChannel(channel)) return;
    std::lock_guard<std::mutex> hold(lock_);
    Pending& p = pendingFor(channel);
    // A start replaces an earlier stop or jump and resets the volume, as a fresh
    // start of the sample would.
    p.start = true;
    p.halt = false;
    p.hasPosition = false;
    p.frames = frames;
    p.frameCount = frames ? frameCount : 0;
    p.loop = loop;
    p.hasVolume = true;
    p.volume = kFullVolume;
    p.startSeq = ++startSeq_[channel];
}

void sound_mixer::stop(int channel) {
    if (!isMixerChannel(channel)) return;
    std::lock_guard<std::mutex> hold(lock_);
    Pending& p = pendingFor(channel);
    p.halt = true;
    p.start = false;
    p.hasPosition = false;
    p.startSeq = startSeq_[channel]; // a start that never ran is settled too
}

void sound_mixer::stopAll() {
    for (int ch = 0; ch < kMaxChannels; ++ch) stop(ch);
}

void sound_mixer::setVolume(int channel, int volume) {
    if (!isMixerChannel(channel)) return;
    std::lock_guard<std::mutex> hold(lock_);
    Pending& p = pendingFor(channel);
    p.hasVolume = true;
    p.volume = std::clamp(volume, 0, kFullVolume);
}

void sound_mixer::setPosition(int channel, uint32_t frame) {
    if (!isMixerChannel(channel)) return;
    std::lock_guard<std::mutex> hold(lock_);
    Pending& p = pendingFor(channel);
    p.hasPosition = true;
    p.position = frame;
}

uint32_t sound_mixer::position(int channel) const {
    return isMixerChannel(channel) ? publishedPosition_[channel].load(std::memory_order_acquire) : 0;
}

bool sound_mixer::playing(int channel) const {
    return isMixerChannel(channel) && publishedPlaying_[channel].load(std::memory_order_acquire);
}

bool sound_mixer::busy(int channel) const {
    if (!isMixerChannel(channel)) return false;
    // Both are published together at the end of a mix, the sequence number last.
    return publishedStartSeq_[channel].load(std::memory_order_acquire) != startSeq_[channel] || playing(channel);
}

// ---------------------------------------------------------------------------
// Audio thread
// ---------------------------------------------------------------------------

void sound_mixer::applyPending() {
    if (!dirty_.load(std::memory_order_acquire)) return;
    // Never wait for the control thread: if it holds the lock, pick the commands up
    // at the next block.
    if (!lock_.try_lock()) return;
    Pending taken[kMaxChannels];
    std::memcpy(static_cast<void*>(taken), static_cast<const void*>(pending_), sizeof(pending_));
    for (Pending& p : pending_) p = Pending{};
    dirty_.store(false, std::memory_order_relaxed);
    lock_.unlock();

    for (int ch = 0; ch < kMaxChannels; ++ch) {
        const Pending& p = taken[ch];
        Channel& c = channels_[ch];
        if (p.halt) {
            c.playing = false;
            c.startSeq = p.startSeq;
        }
        if (p.start) {
            c.frames = p.frames;
            c.frameCount = p.frameCount;
            c.loop = p.loop;
            c.position = 0;
            c.playing = c.frameCount > 0;
            c.startSeq = p.startSeq;
        }
        if (p.hasVolume) c.volume = p.volume;
        if (p.hasPosition) {
            c.position = p.position;
            if (c.position >= c.frameCount) {
                if (c.loop && c.frameCount > 0) c.position %= c.frameCount;
                else c.playing = false;
            }
        }
    }
}

void sound_mixer::mixChannel(Channel& c, int32_t* acc, int frames) {
    int done = 0;
    while (done < frames && c.playing) {
        const int run = int(std::min<uint32_t>(uint32_t(frames - done), c.frameCount - c.position));
        const int16_t* src = c.frames + size_t(c.position) * 2;
        int32_t* dst = acc + done * 2;
        if (c.volume > 0) {
            const int32_t v = c.volume;
            for (int i = 0; i < run * 2; ++i) dst[i] += int32_t(src[i]) * v;
        }
        done += run;
        c.position += uint32_t(run);
        if (c.position >= c.frameCount) {
            if (c.loop) c.position = 0;
            else c.playing = false;
        }
    }
}

void sound_mixer::mix(int16_t* out, int frames) {
    if (held_.load(std::memory_order_acquire)) {
        std::fill(out, out + size_t(frames) * 2, int16_t(0));
        return;
    }
    int32_t acc[kBlockFrames * 2];
    int done = 0;
    while (done < frames) {
        applyPending();
        const int block = std::min(kBlockFrames, frames - done);
        std::fill(acc, acc + block * 2, 0);
        for (Channel& c : channels_) {
            if (c.playing) mixChannel(c, acc, block);
        }
        int16_t* dst = out + size_t(done) * 2;
        for (int i = 0; i < block * 2; ++i) dst[i] = scaleDown(acc[i]);
        done += block;
    }
    publish();
}

void sound_mixer::skip(uint64_t frames) {
    if (held_.load(std::memory_order_acquire)) return;
    applyPending();
    for (Channel& c : channels_) {
        if (!c.playing || c.frameCount == 0) continue;
        const uint64_t to = uint64_t(c.position) + frames;
        if (to < c.frameCount) c.position = uint32_t(to);
        else if (c.loop) c.position = uint32_t(to % c.frameCount);
        else {
            c.position = c.frameCount;
            c.playing = false;
        }
    }
    publish();
}

bool sound_mixer::idle() const {
    if (held_.load(std::memory_order_acquire)) return true;
    for (const Channel& c : channels_) {
        if (c.playing) return false;
    }
    return true;
}

void sound_mixer::publish() {
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        publishedPosition_[ch].store(channels_[ch].position, std::memory_order_relaxed);
        publishedPlaying_[ch].store(channels_[ch].playing, std::memory_order_relaxed);
        publishedStartSeq_[ch].store(channels_[ch].startSeq, std::memory_order_release);
    }
}
