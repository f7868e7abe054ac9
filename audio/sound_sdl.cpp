// Sound outputs: SDL2's audio device (the callback runs the mixer on SDL's audio
// thread, paced by the wall clock), or the silent output when there is no device.
#include "audio/sound_output.h"

#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"
#include "audio/sound_pacer.h"
#include "audio/sound_silent.h"

#include <SDL.h>

#if defined(__unix__)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <string>

namespace {

constexpr int kDeviceBufferFrames = 1024;  // about 23 ms at 44 100 Hz

struct DeviceFeed {
    sound_mixer* mixer = nullptr;
    stream_pacer pacer;
};

void deviceCallback(void* userdata, Uint8* stream, int bytes) {
    auto* feed = static_cast<DeviceFeed*>(userdata);
    mixInStep(*feed->mixer, feed->pacer, reinterpret_cast<int16_t*>(stream), bytes / int(2 * sizeof(int16_t)),
              steadySeconds());
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
    DeviceFeed feed;
    SDL_AudioDeviceID device = 0;
    std::string driver;
    silent_output silent;
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
    out.feed.mixer = out.mixer;
    want.userdata = &out.feed;
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
    if (out->silent.start(mixer)) return out;
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
    out->silent.stop();
    delete out;
}

std::string soundOutputName(const SoundOutput* out) {
    if (!out) return "none";
    return out->device != 0 ? "sdl:" + out->driver : "silent";
}
