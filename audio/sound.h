// The show's sound library: the FSOUND operations the program calls, with their
// arguments and results. Whole MP3 files are decoded into samples at load; a mixer
// of our own plays them on numbered channels (volume 0..255, looping, start
// position in samples) into the audio device, or into a silent output that keeps
// time when there is no device. All calls come from one thread; mixing runs on the
// audio thread. Every call before FSOUND_Init or after FSOUND_Close is a harmless
// no-op (loads give null); FSOUND_Close frees every sample.
#pragma once
#include <cstdint>
#include <string>

struct SoundSample;

constexpr int FSOUND_FREE = -1;   // as a channel: the lowest idle one; as a sample index: any
constexpr int FSOUND_ALL = -3;    // as a channel for FSOUND_SetVolume / FSOUND_StopSound: every channel
constexpr unsigned FSOUND_NORMAL = 0x130;
constexpr unsigned FSOUND_LOOP_OFF = 1;
constexpr unsigned FSOUND_LOOP_NORMAL = 2;
constexpr unsigned FSOUND_LOOP_BIDI = 4; // accepted; loops forwards like FSOUND_LOOP_NORMAL
constexpr unsigned FSOUND_INIT_GLOBALFOCUS = 2;

// Non-zero on success; fails only when no output at all can be opened. Mixing is
// always at 44 100 Hz; at most 32 channels (numbered 0..31).
int FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags);
// The whole decoded file (offset/length select a byte range of it; 0, 0 is the
// whole file), or null. Loops when `mode` has FSOUND_LOOP_NORMAL.
SoundSample* FSOUND_Sample_Load(int index, const char* path, unsigned mode, int offset, int length);
// Sets the loop mode used by later FSOUND_PlaySound calls. Non-zero on success.
int FSOUND_Sample_SetMode(SoundSample* sample, unsigned mode);
// Starts the sample from its first frame at volume 255, at once. The channel, or -1.
int FSOUND_PlaySound(int channel, SoundSample* sample);
int FSOUND_SetVolume(int channel, int volume);
// A position past the end wraps into a looping sample and stops a one-shot one.
int FSOUND_SetCurrentPosition(int channel, unsigned position);
void FSOUND_Close();

int FSOUND_StopSound(int channel);
// As of the last mixed block.
unsigned FSOUND_GetCurrentPosition(int channel);
int FSOUND_IsPlaying(int channel);

// --- Outputs, for tests and tools ---
enum class SoundOutputMode {
    Device, // the audio device, or the silent output when there is none (default)
    Silent, // the silent output without trying a device
    Pulled, // no thread: the caller mixes with soundPullFrames
};
// Takes effect at the next FSOUND_Init.
void soundSetOutputMode(SoundOutputMode mode);
// In Pulled mode: mixes `frames` stereo frames into `out` on the calling thread and
// returns `frames`; otherwise 0.
int soundPullFrames(int16_t* out, int frames);
// Holds the output (silence, no channel moves) until released; set before
// FSOUND_Init it holds from the first block. Lets a show that starts late place
// its tracks before anything is heard.
void soundHold(bool held);
// "sdl:<driver>", "silent", "pulled" or "closed".
std::string soundOutputName();
