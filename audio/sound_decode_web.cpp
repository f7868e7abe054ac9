// MP3 decoding by the browser's own decoder (decodeAudioData). It works only
// asynchronously, so the page decodes every track of the asset tree while it
// fetches it, before the program starts, and keeps the result beside the file's
// bytes; here the sound layer's bytes find their decoded samples, synchronously.
// Browsers differ in what they cut: when the decoder kept the gap the encoder left
// (its delay and padding, from the LAME tag, plus the decoder's own delay), it is
// cut here as on Windows, so a loop made from such a track joins without a click.
#include "audio/sound_decode.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdint>

#include "audio/sound_mp3_frames.h"

namespace {

// Frames the page decoded for exactly these bytes (at 44 100 Hz, stereo), or -1
// when it decoded none: a file the page did not fetch, or one the browser refused.
EM_JS(int, decodedFrameCount, (const uint8_t* data, size_t size), {
    var entry = Module.zurFindDecoded ? Module.zurFindDecoded(HEAPU8.subarray(data, data + size)) : null;
    return entry ? entry.left.length : -1;
});

// Writes frames [first, first + count) of those samples as interleaved int16.
EM_JS(void, copyDecoded, (const uint8_t* data, size_t size, int first, int count, int16_t* out), {
    var entry = Module.zurFindDecoded(HEAPU8.subarray(data, data + size));
    var left = entry.left, right = entry.right;
    var o = out >> 1;
    for (var i = 0; i < count; i++) {
        var l = Math.round(left[first + i] * 32768), r = Math.round(right[first + i] * 32768);
        HEAP16[o++] = l < -32768 ? -32768 : (l > 32767 ? 32767 : l);
        HEAP16[o++] = r < -32768 ? -32768 : (r > 32767 ? 32767 : r);
    }
});

} // namespace

bool decodeMp3Memory(const uint8_t* data, size_t size, DecodedAudio& out, std::string* error)
{
    out.samples.clear();
    out.rate = kSoundRate;
    const Mp3Layout layout = scanMp3(data, size);
    if (layout.frames.empty()) {
        if (error)
            *error = "no MPEG audio frames";
        return false;
    }
    const int decoded = decodedFrameCount(data, size);
    if (decoded <= 0) {
        if (error)
            *error = decoded == 0 ? "no audio in the stream" : "the browser could not decode it";
        return false;
    }
    // The page decodes at 44 100 Hz, so the tag's counts scale by the file's rate.
    const double scale = double(kSoundRate) / double(layout.frames.front().rate);
    const int64_t audio = int64_t(double(mp3AudioSamples(layout)) * scale + 0.5);
    int first = 0, count = decoded;
    if (layout.gapless && decoded > audio) {
        const int64_t lead = int64_t(double(layout.encoderDelay + kMp3DecoderDelay) * scale + 0.5);
        first = int(std::min<int64_t>(lead, decoded - audio));
        count = int(audio);
    }
    out.samples.resize(size_t(count) * 2);
    copyDecoded(data, size, first, count, out.samples.data());
    return true;
}
