// The silent output shared by the sound backends: a thread that runs the mixer
// against the steady clock, so channels keep their place in time without an
// audio device.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class sound_mixer;

class silent_output {
public:
    ~silent_output() { stop(); }
    // False when the thread cannot be started.
    bool start(sound_mixer& mixer);
    // Returns once the thread has ended; the mixer is not called after it.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void run();

    sound_mixer* mixer_ = nullptr;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::vector<int16_t> scratch_;
};
