// Keeps a device stream in step with the wall clock, which the show clock follows.
// A device whose feeder was starved of processor time plays silence meanwhile; fed
// again, it would go on from where it stopped, and the music would fall behind the
// picture for good, a little more with every gap. Before each block the output asks
// how far the stream has fallen behind, and the mixer skips that much.
#pragma once
#include <cstdint>

class sound_mixer;

class stream_pacer {
public:
    // How late the stream may run before it is put back in step: about 12 ms, less
    // than one frame of the show at 60 frames/s, and more than the jitter of when
    // a device asks for its next block.
    static constexpr uint64_t kSlackFrames = 512;

    // Frames the stream is behind the clock (`nowSeconds`, a steady clock) before the
    // next block, 0 while in step; the first call starts the stream's clock. The
    // caller skips them and counts them with delivered().
    uint64_t behind(double nowSeconds);
    // Frames handed to the device (or skipped in its place).
    void delivered(uint64_t frames) { given_ += frames; }
    // The stream counts as in step at `nowSeconds`: what it was behind is forgiven.
    void forgive(double nowSeconds);

private:
    bool started_ = false;
    double start_ = 0;
    uint64_t given_ = 0;
};

// Seconds of the steady clock, for stream_pacer::behind.
double steadySeconds();

// Before a block at `nowSeconds`: skips what the stream has fallen behind, while
// something plays.
void catchUp(sound_mixer& mixer, stream_pacer& pacer, double nowSeconds);
// One block of a device output at `nowSeconds`: catches up, then mixes `frames`
// stereo frames into `out`.
void mixInStep(sound_mixer& mixer, stream_pacer& pacer, int16_t* out, int frames, double nowSeconds);
