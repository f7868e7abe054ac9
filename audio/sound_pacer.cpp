// A device stream paced by the wall clock (see sound_pacer.h).
#include "audio/sound_pacer.h"

#include <chrono>

#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"

uint64_t stream_pacer::behind(double nowSeconds)
{
    if (!started_) {
        started_ = true;
        start_ = nowSeconds;
    }
    const double elapsed = nowSeconds - start_;
    const uint64_t due = elapsed > 0 ? uint64_t(elapsed * kSoundRate) : 0;
    return due > given_ + kSlackFrames ? due - given_ : 0;
}

void stream_pacer::forgive(double nowSeconds)
{
    started_ = true;
    start_ = nowSeconds - double(given_) / kSoundRate;
}

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void catchUp(sound_mixer& mixer, stream_pacer& pacer, double nowSeconds)
{
    // A stream that plays nothing cannot fall behind. What a device starved while
    // nothing played (a busy start-up loading its files) must not be paid for with
    // the first notes of what starts next: the music starts with the show clock.
    if (mixer.idle()) {
        pacer.forgive(nowSeconds);
    } else if (const uint64_t late = pacer.behind(nowSeconds)) {
        mixer.skip(late);
        pacer.delivered(late);
    }
}

void mixInStep(sound_mixer& mixer, stream_pacer& pacer, int16_t* out, int frames, double nowSeconds)
{
    catchUp(mixer, pacer, nowSeconds);
    mixer.mix(out, frames);
    pacer.delivered(uint64_t(frames));
}
