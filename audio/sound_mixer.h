// The sound layer's mixer: numbered channels playing interleaved stereo int16 samples
// (44 100 Hz) with a linear gain volume/255, looping and start positions, summed with
// saturation. No device and no allocation in mix(): the output backends call it from
// their audio thread while one control thread sends commands.
//
// Threading: play/stop/setVolume/setPosition record the wanted change in a pending
// table under a small lock (later commands on a channel supersede earlier ones in
// the order they were made); mix() takes that table over with a try-lock before each
// block, so the audio thread never waits on the control thread. The sample data
// passed to play() must stay alive and unchanged until the channel is stopped and a
// mix() has run, or the audio thread has ended.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

class sound_mixer {
public:
    static constexpr int kMaxChannels = 32;
    static constexpr int kFullVolume = 255;

    // --- control thread ---
    // Starts `sample` (frameCount stereo frames) from frame 0 at full volume.
    void play(int channel, const int16_t* frames, uint32_t frameCount, bool loop);
    void stop(int channel);
    void stopAll();
    void setVolume(int channel, int volume);           // clamped to 0..255
    // Jumps to `frame`; a looping sample wraps it into its length, a one-shot sample
    // past its end stops.
    void setPosition(int channel, uint32_t frame);

    // State as of the end of the last mix() (the audio thread publishes it).
    uint32_t position(int channel) const;
    bool playing(int channel) const;
    // Playing, or started by play() and not yet picked up by the audio thread.
    bool busy(int channel) const;
    // While held, mix() writes silence and neither applies commands nor moves a
    // channel, so positions set meanwhile are where the sound starts once released.
    void hold(bool held) { held_.store(held, std::memory_order_release); }

    // --- audio thread ---
    // Applies pending commands, then writes `frames` stereo frames to `out`.
    void mix(int16_t* out, int frames);
    // True when the last mix() or skip() played no channel, or the mixer is held:
    // commands still pending do not count.
    bool idle() const;
    // Applies pending commands, then moves every channel on by `frames` as mix()
    // would, writing nothing: a starved output catching up with the clock. Does
    // nothing while held.
    void skip(uint64_t frames);

private:
    struct Channel {
        const int16_t* frames = nullptr;
        uint32_t frameCount = 0;
        uint32_t position = 0;
        int volume = kFullVolume;
        bool loop = false;
        bool playing = false;
        uint32_t startSeq = 0;
    };
    struct Pending {
        bool start = false, halt = false, hasVolume = false, hasPosition = false;
        const int16_t* frames = nullptr;
        uint32_t frameCount = 0;
        bool loop = false;
        int volume = kFullVolume;
        uint32_t position = 0;
        uint32_t startSeq = 0;
    };

    void applyPending();
    void mixChannel(Channel& c, int32_t* acc, int frames);
    void publish();
    Pending& pendingFor(int channel); // caller holds lock_

    // Audio-thread state.
    Channel channels_[kMaxChannels];
    // Control-thread state.
    uint32_t startSeq_[kMaxChannels] = {};
    // Shared with the control thread.
    std::mutex lock_;
    Pending pending_[kMaxChannels];
    std::atomic<bool> dirty_{false};
    std::atomic<bool> held_{false};
    std::atomic<uint32_t> publishedPosition_[kMaxChannels] = {};
    std::atomic<bool> publishedPlaying_[kMaxChannels] = {};
    std::atomic<uint32_t> publishedStartSeq_[kMaxChannels] = {};
};
