// The FSOUND operations over our own decoder, mixer and outputs. One control thread
// calls them; the library's state lives in one record that is only ever touched
// from that thread, and the mixer is the single meeting point with the audio thread.
#include "audio/sound.h"

#include "audio/sound_decode.h"
#include "audio/sound_mp3_frames.h"
#include "audio/sound_mixer.h"
#include "audio/sound_output.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/file_bytes.h"

struct SoundSample {
    DecodedAudio audio;
    bool loop = false;
};

namespace {

struct SoundLibrary {
    bool open = false;
    int channelCount = 0;
    SoundOutputMode outputMode = SoundOutputMode::Device;
    bool held = false;
    std::unique_ptr<sound_mixer> mixer;
    SoundOutput* output = nullptr; // null in Pulled mode
    std::vector<std::unique_ptr<SoundSample>> samples;
    // Loads may run on several threads at once (start-up decodes its two tracks
    // side by side); the list of samples is the only state they share.
    std::mutex samplesLock;

    // A process that exits with the output still open (a start-up failure's exit,
    // a return from main without FSOUND_Close) tears this record down while the
    // audio thread may be inside the mixer: that thread has to stop before the
    // members it reads are freed.
    ~SoundLibrary() { closeSoundOutput(output); }
};

SoundLibrary g_sound;

bool loopsIn(unsigned mode) { return (mode & (FSOUND_LOOP_NORMAL | FSOUND_LOOP_BIDI)) != 0; }

bool knownSample(const SoundSample* sample) {
    if (!sample) return false;
    std::lock_guard<std::mutex> hold(g_sound.samplesLock);
    for (const auto& s : g_sound.samples) {
        if (s.get() == sample) return true;
    }
    return false;
}

bool validChannel(int channel) { return channel >= 0 && channel < g_sound.channelCount; }

// A folder, a FIFO or an unreadable file is refused like a missing one.
bool readBytes(const char* path, int offset, int length, std::vector<uint8_t>& bytes, std::string& why)
{
    if (offset < 0 || length < 0) {
        why = "bad range";
        return false;
    }
    std::string whole;
    if (!readFileBytes(path, whole, why))
        return false;
    if (size_t(offset) > whole.size()) {
        why = "shorter than the offset";
        return false;
    }
    // A range that runs past the end of the file stops at the end.
    const size_t end = length == 0 ? whole.size() : std::min(whole.size(), size_t(offset) + size_t(length));
    bytes.assign(whole.begin() + long(offset), whole.begin() + long(end));
    return true;
}

// A track that decodes may still be damaged; the decoder plays through it, so the
// frame layout is read once more to say so. Corrupt audio data inside a frame has
// no check to fail (no CRC) and goes unnoticed.
void reportMp3Damage(const char* path, const std::vector<uint8_t>& bytes)
{
    const Mp3Layout layout = scanMp3(bytes.data(), bytes.size());
    const int64_t found = static_cast<int64_t>(layout.frames.size());
    if (layout.junkBytes > 0)
        std::fprintf(stderr, "sound: %s: %zu bytes between frames belong to none: the data is corrupt there\n", path,
                     layout.junkBytes);
    else if (layout.taggedFrames >= 0 && found < layout.taggedFrames)
        std::fprintf(stderr, "sound: %s ends early: %lld of the %lld frames its header counts are there; it plays "
                     "as far as it goes\n", path, static_cast<long long>(found),
                     static_cast<long long>(layout.taggedFrames));
    else if (layout.lastFrameCut)
        std::fprintf(stderr, "sound: %s ends inside a frame: it may be cut short\n", path);
}

} // namespace

int FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned /*flags*/) {
    // The focus flags have no meaning here: output never depends on window focus.
    if (g_sound.open) return 1;
    if (mixRate <= 0) return 0;
    g_sound.channelCount = std::clamp(maxSoftwareChannels, 1, sound_mixer::kMaxChannels);
    g_sound.mixer = std::make_unique<sound_mixer>();
    g_sound.mixer->hold(g_sound.held);
    if (g_sound.outputMode != SoundOutputMode::Pulled) {
        g_sound.output = openSoundOutput(*g_sound.mixer, g_sound.outputMode == SoundOutputMode::Device);
        if (!g_sound.output) {
            g_sound.mixer.reset();
            return 0;
        }
    }
    g_sound.open = true;
    return 1;
}

SoundSample* FSOUND_Sample_Load(int /*index*/, const char* path, unsigned mode, int offset, int length) {
    if (!g_sound.open || !path) return nullptr;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!readBytes(path, offset, length, bytes, why)) {
        std::fprintf(stderr, "sound: %s %s (offset %d, length %d)\n", path, why.c_str(), offset, length);
        return nullptr;
    }
    auto sample = std::make_unique<SoundSample>();
    std::string error;
    if (!decodeMp3Memory(bytes.data(), bytes.size(), sample->audio, &error)) {
        std::fprintf(stderr, "sound: %s: %s\n", path, error.c_str());
        return nullptr;
    }
    reportMp3Damage(path, bytes);
    sample->loop = loopsIn(mode) && !(mode & FSOUND_LOOP_OFF);
    std::lock_guard<std::mutex> hold(g_sound.samplesLock);
    g_sound.samples.push_back(std::move(sample));
    return g_sound.samples.back().get();
}

int FSOUND_Sample_SetMode(SoundSample* sample, unsigned mode) {
    if (!g_sound.open || !knownSample(sample)) return 0;
    if (mode & FSOUND_LOOP_OFF) sample->loop = false;
    else if (loopsIn(mode)) sample->loop = true;
    return 1;
}

int FSOUND_PlaySound(int channel, SoundSample* sample) {
    if (!g_sound.open || !knownSample(sample)) return -1;
    if (channel == FSOUND_FREE) {
        for (int ch = 0; ch < g_sound.channelCount; ++ch) {
            if (!g_sound.mixer->busy(ch)) {
                channel = ch;
                break;
            }
        }
    }
    if (!validChannel(channel)) return -1;
    g_sound.mixer->play(channel, sample->audio.samples.data(), uint32_t(sample->audio.frames()), sample->loop);
    return channel;
}

int FSOUND_SetVolume(int channel, int volume) {
    if (!g_sound.open) return 0;
    if (channel == FSOUND_ALL) {
        for (int ch = 0; ch < g_sound.channelCount; ++ch) g_sound.mixer->setVolume(ch, volume);
        return 1;
    }
    if (!validChannel(channel)) return 0;
    g_sound.mixer->setVolume(channel, volume);
    return 1;
}

int FSOUND_SetCurrentPosition(int channel, unsigned position) {
    if (!g_sound.open || !validChannel(channel)) return 0;
    g_sound.mixer->setPosition(channel, position);
    return 1;
}

int FSOUND_StopSound(int channel) {
    if (!g_sound.open) return 0;
    if (channel == FSOUND_ALL) {
        g_sound.mixer->stopAll();
        return 1;
    }
    if (!validChannel(channel)) return 0;
    g_sound.mixer->stop(channel);
    return 1;
}

unsigned FSOUND_GetCurrentPosition(int channel) {
    if (!g_sound.open || !validChannel(channel)) return 0;
    return g_sound.mixer->position(channel);
}

int FSOUND_IsPlaying(int channel) {
    if (!g_sound.open || !validChannel(channel)) return 0;
    return g_sound.mixer->playing(channel) ? 1 : 0;
}

void FSOUND_Close() {
    if (!g_sound.open) return;
    // The output's thread ends first, so no mix can touch a sample freed below.
    closeSoundOutput(g_sound.output);
    g_sound.output = nullptr;
    g_sound.mixer.reset();
    g_sound.samples.clear();
    g_sound.channelCount = 0;
    g_sound.open = false;
}

void soundSetOutputMode(SoundOutputMode mode) { g_sound.outputMode = mode; }

void soundHold(bool held) {
    g_sound.held = held;
    if (g_sound.mixer) g_sound.mixer->hold(held);
}

int soundPullFrames(int16_t* out, int frames) {
    if (!g_sound.open || g_sound.output || !out || frames <= 0) return 0;
    g_sound.mixer->mix(out, frames);
    return frames;
}

std::string soundOutputName() {
    if (!g_sound.open) return "closed";
    return g_sound.output ? soundOutputName(g_sound.output) : "pulled";
}
