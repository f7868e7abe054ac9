// MP3 decoding for the sound layer and the asset tools: a whole file (or an in-memory
// image of one) into interleaved stereo int16 at 44 100 Hz. Mono is duplicated onto
// both sides; other rates go through a windowed-sinc resampler. Uses libmpg123.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSoundRate = 44100; // the one rate the mixer and the output run at

struct DecodedAudio {
    std::vector<int16_t> samples; // interleaved stereo: L, R, L, R, ...
    int rate = kSoundRate;
    size_t frames() const { return samples.size() / 2; }
};

// False (with a one-line reason in *error) for a missing, unreadable or undecodable
// file, or one that yields no audio at all.
bool decodeMp3File(const std::string& path, DecodedAudio& out, std::string* error = nullptr);
bool decodeMp3Memory(const uint8_t* data, size_t size, DecodedAudio& out, std::string* error = nullptr);

// Band-limited rate conversion of interleaved stereo int16 (Kaiser-windowed sinc:
// flat to about 87 % of the lower rate's Nyquist frequency, 80 dB down beyond it).
// The output has round(frames * toRate / fromRate) frames; rates 1 kHz to 384 kHz,
// anything else gives an empty result.
std::vector<int16_t> resampleStereo(const std::vector<int16_t>& in, int fromRate, int toRate);
