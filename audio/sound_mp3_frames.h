// The frame layout of an MPEG audio Layer III stream, for decoders that take
// whole frames (the Windows codec): where each audio frame lies, its format, and
// the encoder's delay and padding from a LAME "Info"/"Xing" frame. Pure code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct Mp3Frame {
    size_t offset = 0;      // of the 4-byte header in the stream
    uint32_t bytes = 0;     // whole frame, header included
    int rate = 0;           // samples per second
    int channels = 0;       // 1 or 2
    int samples = 0;        // per channel: 1152 (MPEG-1) or 576 (MPEG-2 and 2.5)
    int bitrateKbps = 0;
};

struct Mp3Layout {
    std::vector<Mp3Frame> frames; // audio frames only: the tag frame is left out
    bool gapless = false;         // a LAME tag gave the two values below
    int encoderDelay = 0;         // samples before the first real one
    int encoderPadding = 0;       // samples after the last real one
    // Signs of damage, for a line that names the file:
    int64_t taggedFrames = -1;    // audio frames the tag counts; -1: no count
    bool lastFrameCut = false;    // a frame's header at the end, its data cut off
    size_t junkBytes = 0;         // bytes after the first frame that belong to none
};

// Samples that every Layer III decoder puts before the first one it was given.
constexpr int kMp3DecoderDelay = 529;

// Reads the header at `data` (at least 4 bytes); false when it is no Layer III
// header this reader takes (free-format bitrate and reserved values refused).
bool parseMp3Header(const uint8_t* data, Mp3Frame& frame);

// Skips an ID3v2 tag, finds the first frame that a second valid header follows
// (or that ends the stream), then walks frame by frame; after junk between
// frames it searches for the next such frame. Stops at the end of the data.
Mp3Layout scanMp3(const uint8_t* data, size_t size);

// The samples (per channel) of real audio: all frames minus delay and padding
// when a LAME tag says them, otherwise all frames.
int64_t mp3AudioSamples(const Mp3Layout& layout);
