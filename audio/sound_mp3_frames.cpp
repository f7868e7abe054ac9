// Layer III frame walking. A frame's length follows from its header alone (no
// free-format streams), so the walk never reads the audio data.
#include "audio/sound_mp3_frames.h"

#include <cstring>

namespace {

// Kilobits per second by bitrate index, Layer III.
constexpr int kBitratesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
constexpr int kBitratesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1};
// Samples per second by rate index, MPEG-1; MPEG-2 halves and MPEG-2.5 quarters them.
constexpr int kRatesMpeg1[4] = {44100, 48000, 32000, -1};

uint32_t bigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Where the side information ends and a "Xing"/"Info" tag would start.
size_t tagOffset(const uint8_t* header, const Mp3Frame& frame)
{
    const bool mpeg1 = frame.samples == 1152;
    const bool crc = (header[1] & 1) == 0;
    const size_t sideInfo = mpeg1 ? (frame.channels == 1 ? 17 : 32) : (frame.channels == 1 ? 9 : 17);
    return 4 + (crc ? 2 : 0) + sideInfo;
}

// Reads a LAME tag inside the first frame. True when the frame is a tag frame
// ("Xing" or "Info"), which holds no audio; delay and padding only when the
// LAME extension is there.
bool readTagFrame(const uint8_t* data, const Mp3Frame& frame, Mp3Layout& layout)
{
    const uint8_t* start = data + frame.offset;
    size_t at = tagOffset(start, frame);
    if (at + 8 > frame.bytes)
        return false;
    if (std::memcmp(start + at, "Xing", 4) != 0 && std::memcmp(start + at, "Info", 4) != 0)
        return false;
    const uint32_t flags = bigEndian32(start + at + 4);
    at += 8;
    if ((flags & 1) && at + 4 <= frame.bytes)
        layout.taggedFrames = bigEndian32(start + at);
    if (flags & 1)
        at += 4; // frame count
    if (flags & 2)
        at += 4; // byte count
    if (flags & 4)
        at += 100; // seek table
    if (flags & 8)
        at += 4; // quality
    // LAME extension: encoder name (9), revision (1), low-pass (1), replay gain
    // (8), flags (1), bitrate (1), then 12 bits of delay and 12 of padding.
    if (at + 24 <= frame.bytes && std::memcmp(start + at, "LAME", 4) == 0) {
        const uint8_t* p = start + at + 21;
        layout.encoderDelay = (p[0] << 4) | (p[1] >> 4);
        layout.encoderPadding = ((p[1] & 0x0F) << 8) | p[2];
        layout.gapless = true;
    }
    return true;
}

size_t skipId3v2(const uint8_t* data, size_t size)
{
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0)
        return 0;
    for (int i = 6; i < 10; ++i)
        if (data[i] & 0x80)
            return 0; // not a synch-safe size: not a tag after all
    size_t length = (size_t(data[6]) << 21) | (size_t(data[7]) << 14) | (size_t(data[8]) << 7) | size_t(data[9]);
    length += 10;
    if (data[5] & 0x10)
        length += 10; // footer
    return length < size ? length : size;
}

// A whole frame at `at`. Right after a frame of the same format it is taken as
// it is; anywhere else only when the header after it is valid too (or the
// stream ends there), so a sync pattern in junk does not start a false run.
bool frameAt(const uint8_t* data, size_t size, size_t at, const Mp3Frame* previous, Mp3Frame& frame)
{
    if (at + 4 > size || !parseMp3Header(data + at, frame))
        return false;
    frame.offset = at;
    const size_t next = at + frame.bytes;
    if (next > size)
        return false;
    if (previous && previous->offset + previous->bytes == at && previous->rate == frame.rate &&
        previous->channels == frame.channels)
        return true;
    if (next + 4 > size)
        return true;
    Mp3Frame following;
    return parseMp3Header(data + next, following) && following.rate == frame.rate &&
           following.channels == frame.channels;
}

} // namespace

bool parseMp3Header(const uint8_t* h, Mp3Frame& frame)
{
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return false;
    const int version = (h[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const int layer = (h[1] >> 1) & 3;   // 1: Layer III
    if (version == 1 || layer != 1)
        return false;
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    const bool padded = (h[2] >> 1) & 1;
    const int bitrate = version == 3 ? kBitratesMpeg1[bitrateIndex] : kBitratesMpeg2[bitrateIndex];
    const int baseRate = kRatesMpeg1[rateIndex];
    if (bitrate <= 0 || baseRate < 0)
        return false;
    frame.rate = version == 3 ? baseRate : version == 2 ? baseRate / 2 : baseRate / 4;
    frame.channels = (h[3] >> 6) == 3 ? 1 : 2;
    frame.samples = version == 3 ? 1152 : 576;
    frame.bitrateKbps = bitrate;
    const int slotsPerKbit = version == 3 ? 144000 : 72000;
    frame.bytes = uint32_t(slotsPerKbit * bitrate / frame.rate + (padded ? 1 : 0));
    return frame.bytes > 4;
}

Mp3Layout scanMp3(const uint8_t* data, size_t size)
{
    Mp3Layout layout;
    if (!data)
        return layout;
    size_t at = skipId3v2(data, size);
    // An ID3v1 tag at the end is no junk.
    if (size >= at + 128 && std::memcmp(data + size - 128, "TAG", 3) == 0)
        size -= 128;
    bool first = true;
    Mp3Frame previous;
    while (at + 4 <= size) {
        Mp3Frame frame;
        if (!frameAt(data, size, at, first ? nullptr : &previous, frame)) {
            if (!first && previous.offset + previous.bytes == at && parseMp3Header(data + at, frame) &&
                at + frame.bytes > size) {
                layout.lastFrameCut = true;
                break;
            }
            if (!first)
                ++layout.junkBytes;
            ++at;
            continue;
        }
        if (!(first && readTagFrame(data, frame, layout)))
            layout.frames.push_back(frame);
        first = false;
        previous = frame;
        at += frame.bytes;
    }
    return layout;
}

int64_t mp3AudioSamples(const Mp3Layout& layout)
{
    int64_t total = 0;
    for (const Mp3Frame& frame : layout.frames)
        total += frame.samples;
    if (layout.gapless)
        total -= layout.encoderDelay + layout.encoderPadding;
    return total > 0 ? total : 0;
}
