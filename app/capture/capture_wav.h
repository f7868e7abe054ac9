// The sound file of a recording: 44 100 Hz stereo 16-bit WAV, written frame by
// frame with every write checked; the sizes in its header are filled in when it is
// closed, so the header never claims bytes the file does not hold.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

constexpr int kSoundRate = 44100; // frames per second of the recording's sound

struct WavWriter {
    std::FILE* file = nullptr;
    std::string error;    // why a write failed; empty while none has
    long long frames = 0; // stereo frames written so far
};

// Creates `path` with the header of an empty file. False with `error` set when it
// cannot be created.
bool openWav(WavWriter& wav, const std::string& path);
// Appends stereo frames (left, right interleaved). After the first failed write
// nothing more is written; the failure stays in `error`.
void writeWavFrames(WavWriter& wav, const int16_t* samples, long long frames);
// Writes the sizes into the header and closes the file; false (with `error`) when
// any write, the flush or the close failed. True for a writer never opened that
// saw no failure.
bool closeWav(WavWriter& wav);
