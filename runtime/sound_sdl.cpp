// Sound outputs: SDL2's audio device (the callback runs the mixer on SDL's audio
// thread) and the silent fallback, a thread that runs the mixer against the steady
// clock so channels keep their place in time without a device.
#include "runtime/sound_output.h"

#include "runtime/sound_decode.h"
#include "runtime/sound_mixer.h"

#include <SDL.h>

#if defined(__unix__)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr int kDeviceBufferFrames = 1024;  // about 23 ms at 44 100 Hz
constexpr int kSilentChunkFrames = 1024;
constexpr auto kSilentTick = std::chrono::milliseconds(10);

void deviceCallback(void* userdata, Uint8* stream, int bytes) {
    auto* mixer = static_cast<sound_mixer*>(userdata);
    mixer->mix(reinterpret_cast<int16_t*>(stream), bytes / int(2 * sizeof(int16_t)));
}

// libasound reports a machine without a sound card on stderr by itself, eight lines
// per probe, before SDL gives up; this layer answers a missing device with exactly
// one line, so that chatter is muted while the device is probed. Start-up is
// single-threaded, so nothing else is writing at that moment.
class stderr_mute {
public:
    stderr_mute() {
#if defined(__unix__)
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && sink >= 0) ::dup2(sink, 2);
        if (sink >= 0) ::close(sink);
#endif
    }
    ~stderr_mute() {
#if defined(__unix__)
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
        }
#endif
    }
    stderr_mute(const stderr_mute&) = delete;
    stderr_mute& operator=(const stderr_mute&) = delete;

private:
    int saved_ = -1;
};

} // namespace

struct SoundOutput {
    sound_mixer* mixer = nullptr;
    SDL_AudioDeviceID device = 0;
    std::string driver;
    // Silent output.
    std::thread silentThread;
    std::mutex silentLock;
    std::condition_variable silentWake;
    bool silentStop = false;
    std::vector<int16_t> scratch;

    void runSilent() {
        using clock = std::chrono::steady_clock;
        const auto start = clock::now();
        uint64_t framesDone = 0;
        std::unique_lock<std::mutex> hold(silentLock);
        while (!silentStop) {
            hold.unlock();
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
            const uint64_t due = uint64_t(elapsed) * kSoundRate / 1000000;
            while (framesDone < due) {
                const int n = int(std::min<uint64_t>(kSilentChunkFrames, due - framesDone));
                mixer->mix(scratch.data(), n);
                framesDone += uint64_t(n);
            }
            hold.lock();
            silentWake.wait_for(hold, kSilentTick, [this] { return silentStop; });
        }
    }
};

namespace {

bool openDevice(SoundOutput& out, std::string& reason) {
    stderr_mute quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reason = SDL_GetError();
        return false;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = kSoundRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceBufferFrames;
    want.callback = deviceCallback;
    want.userdata = out.mixer;
    // No allowed changes: SDL converts to whatever the device takes, so the
    // callback always sees 44 100 Hz stereo int16.
    out.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (out.device == 0) {
        reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    out.driver = driver ? driver : "unknown";
    SDL_PauseAudioDevice(out.device, 0);
    return true;
}

bool startSilent(SoundOutput& out) {
    try {
        out.scratch.assign(size_t(kSilentChunkFrames) * 2, 0);
        out.silentThread = std::thread([&out] { out.runSilent(); });
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace

SoundOutput* openSoundOutput(sound_mixer& mixer, bool tryDevice) {
    auto* out = new SoundOutput;
    out->mixer = &mixer;
    std::string reason = "device not requested";
    if (tryDevice && openDevice(*out, reason)) return out;
    if (tryDevice) {
        for (char& c : reason) if (c == '\n' || c == '\r') c = ' ';
        std::fprintf(stderr, "sound: no audio device (%s); playing silently\n", reason.c_str());
        std::fflush(stderr);
    }
    if (startSilent(*out)) return out;
    delete out;
    return nullptr;
}

void closeSoundOutput(SoundOutput* out) {
    if (!out) return;
    if (out->device != 0) {
        // Returns once the callback has finished for good.
        SDL_CloseAudioDevice(out->device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (out->silentThread.joinable()) {
        {
            std::lock_guard<std::mutex> hold(out->silentLock);
            out->silentStop = true;
        }
        out->silentWake.notify_all();
        out->silentThread.join();
    }
    delete out;
}

std::string soundOutputName(const SoundOutput* out) {
    if (!out) return "none";
    return out->device != 0 ? "sdl:" + out->driver : "silent";
}
