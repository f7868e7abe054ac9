// Fuzz target: MP3 decoding into 44.1 kHz stereo samples, as the sound layer loads
// its tracks, and the frame walk that feeds the Windows codec. Any input must end
// in samples or an error, never in a crash; every frame found lies inside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/sound_decode.h"
#include "audio/sound_mp3_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedAudio audio;
    std::string error;
    if (decodeMp3Memory(data, size, audio, &error)) {
        if (audio.rate != 44100 || audio.samples.size() % 2 != 0)
            __builtin_trap();
    }
    const Mp3Layout layout = scanMp3(data, size);
    for (const Mp3Frame& frame : layout.frames)
        if (frame.offset + frame.bytes > size || frame.bytes < 4)
            __builtin_trap();
    return 0;
}
