// The show's sound library: the FSOUND operations the program calls, with their
// arguments and results. Whole MP3 files are decoded into samples at load; a mixer
// of our own plays them on numbered channels (volume 0..255, looping, start
// position in samples) into the audio device, or into a silent output that keeps
// time when there is no device. All calls come from one thread; mixing runs on the
// audio thread.
#pragma once
#include <cstdint>

struct SoundSample;

constexpr int FSOUND_FREE = -1;
constexpr unsigned FSOUND_NORMAL = 0x130;
constexpr unsigned FSOUND_LOOP_OFF = 1;
constexpr unsigned FSOUND_LOOP_NORMAL = 2;
constexpr unsigned FSOUND_INIT_GLOBALFOCUS = 2;

// Non-zero on success; fails only when no output at all can be opened.
int FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags);
// The whole decoded file, or null.
SoundSample* FSOUND_Sample_Load(int index, const char* path, unsigned mode, int offset, int length);
int FSOUND_Sample_SetMode(SoundSample* sample, unsigned mode);
int FSOUND_PlaySound(int channel, SoundSample* sample);
int FSOUND_SetVolume(int channel, int volume);
int FSOUND_SetCurrentPosition(int channel, unsigned position);
void FSOUND_Close();
