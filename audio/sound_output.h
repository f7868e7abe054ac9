// Outputs that drive a sound_mixer from a thread of their own at 44 100 Hz: the
// audio device through SDL2, or a silent output that advances the channels in real
// time when no device can be opened. Backend: sound_sdl.cpp.
#pragma once
#include <string>

class sound_mixer;
struct SoundOutput;

// Opens the audio device, or, when that fails (or tryDevice is false), the silent
// output; a device failure prints one line on standard error. Null only when not
// even the silent output can start.
SoundOutput* openSoundOutput(sound_mixer& mixer, bool tryDevice);
// Stops the output's thread; after it returns the mixer is no longer called.
void closeSoundOutput(SoundOutput* output);
// "sdl:<driver>" or "silent".
std::string soundOutputName(const SoundOutput* output);
