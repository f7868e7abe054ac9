// Sound outputs on Windows: waveOut fed by a thread of ours that mixes into
// whichever buffer the driver has finished with, or the silent output when no
// device opens (no sound card, or none enabled).
#include <windows.h>
#include <mmsystem.h>

#include "audio/sound_output.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"
#include "audio/sound_pacer.h"
#include "audio/sound_silent.h"

namespace {

// Eight buffers of 1024 frames: about 186 ms queued at 44 100 Hz, enough to ride
// out a busy moment of the machine; a volume change is heard at most that late.
constexpr int kBuffers = 8;
constexpr int kBufferFrames = 1024;

} // namespace

struct SoundOutput {
    sound_mixer* mixer = nullptr;
    HWAVEOUT device = nullptr;
    HANDLE bufferDone = nullptr; // set by the driver whenever a buffer comes back
    WAVEHDR headers[kBuffers] = {};
    std::vector<int16_t> memory;
    std::thread feeder;
    std::atomic<bool> stopping{false};
    stream_pacer pacer; // the feeder's: a starved feeder catches up with the clock
    silent_output silent;

    void queue(WAVEHDR& header)
    {
        mixInStep(*mixer, pacer, reinterpret_cast<int16_t*>(header.lpData), kBufferFrames, steadySeconds());
        waveOutWrite(device, &header, sizeof(header));
    }

    void feed()
    {
        // Mixing is quick, but it must come on time.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        while (!stopping.load()) {
            WaitForSingleObject(bufferDone, 50);
            for (WAVEHDR& header : headers)
                if ((header.dwFlags & WHDR_DONE) && !stopping.load())
                    queue(header);
        }
    }
};

namespace {

std::string deviceError(MMRESULT result)
{
    char text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextA(result, text, sizeof(text)) != MMSYSERR_NOERROR)
        return "waveOut error " + std::to_string(result);
    return text;
}

bool openDevice(SoundOutput& out, std::string& reason)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kSoundRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kSoundRate * 4;
    out.bufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!out.bufferDone) {
        reason = "no event for the device";
        return false;
    }
    const MMRESULT result = waveOutOpen(&out.device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(out.bufferDone),
                                        0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        reason = deviceError(result);
        out.device = nullptr;
        CloseHandle(out.bufferDone);
        out.bufferDone = nullptr;
        return false;
    }
    out.memory.assign(size_t(kBuffers) * kBufferFrames * 2, 0);
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = out.headers[i];
        header.lpData = reinterpret_cast<LPSTR>(out.memory.data() + size_t(i) * kBufferFrames * 2);
        header.dwBufferLength = kBufferFrames * 4;
        waveOutPrepareHeader(out.device, &header, sizeof(header));
    }
    // The first round is queued here, the rest as buffers come back.
    for (WAVEHDR& header : out.headers)
        out.queue(header);
    out.feeder = std::thread([&out] { out.feed(); });
    return true;
}

void closeDevice(SoundOutput& out)
{
    out.stopping.store(true);
    SetEvent(out.bufferDone);
    if (out.feeder.joinable())
        out.feeder.join();
    waveOutReset(out.device); // hands every queued buffer back
    for (WAVEHDR& header : out.headers)
        waveOutUnprepareHeader(out.device, &header, sizeof(header));
    waveOutClose(out.device);
    CloseHandle(out.bufferDone);
    out.device = nullptr;
    out.bufferDone = nullptr;
}

} // namespace

SoundOutput* openSoundOutput(sound_mixer& mixer, bool tryDevice)
{
    auto* out = new SoundOutput;
    out->mixer = &mixer;
    std::string reason = "device not requested";
    if (tryDevice && openDevice(*out, reason))
        return out;
    if (tryDevice) {
        std::fprintf(stderr, "sound: no audio device (%s); playing silently\n", reason.c_str());
        std::fflush(stderr);
    }
    if (out->silent.start(mixer))
        return out;
    delete out;
    return nullptr;
}

void closeSoundOutput(SoundOutput* out)
{
    if (!out)
        return;
    if (out->device)
        closeDevice(*out);
    out->silent.stop();
    delete out;
}

std::string soundOutputName(const SoundOutput* out)
{
    if (!out)
        return "none";
    return out->device ? "waveout" : "silent";
}
