// The silent output: mixes, and throws away, as many frames as the steady clock
// says have passed, every 10 ms.
#include "audio/sound_silent.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"

namespace {

constexpr int kChunkFrames = 1024;
constexpr auto kTick = std::chrono::milliseconds(10);

} // namespace

bool silent_output::start(sound_mixer& mixer)
{
    mixer_ = &mixer;
    stopping_ = false;
    try {
        scratch_.assign(size_t(kChunkFrames) * 2, 0);
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void silent_output::stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void silent_output::run()
{
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    uint64_t framesDone = 0;
    std::unique_lock<std::mutex> hold(lock_);
    while (!stopping_) {
        hold.unlock();
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
        const uint64_t due = uint64_t(elapsed) * kSoundRate / 1000000;
        while (framesDone < due) {
            const int n = int(std::min<uint64_t>(kChunkFrames, due - framesDone));
            mixer_->mix(scratch_.data(), n);
            framesDone += uint64_t(n);
        }
        hold.lock();
        wake_.wait_for(hold, kTick, [this] { return stopping_; });
    }
}
