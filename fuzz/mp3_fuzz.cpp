// Fuzz target: MP3 decoding into 44.1 kHz stereo samples, as the sound layer loads
// its tracks. Any input must end in samples or an error, never in a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/sound_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedAudio audio;
    std::string error;
    if (decodeMp3Memory(data, size, audio, &error)) {
        if (audio.rate != 44100 || audio.samples.size() % 2 != 0)
            __builtin_trap();
    }
    return 0;
}
