// mp3pcm IN.mp3 OUT.raw: decodes IN as the show loads its tracks (gapless, at
// 44 100 Hz) and writes the samples as raw interleaved stereo 16-bit
// little-endian. Prints the number of frames; on failure the reason, exit 1.
#include <cstdio>

#include "audio/sound_decode.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mp3pcm IN.mp3 OUT.raw\n");
        return 2;
    }
    DecodedAudio audio;
    std::string error;
    if (!decodeMp3File(argv[1], audio, &error)) {
        std::fprintf(stderr, "mp3pcm: %s\n", error.c_str());
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(audio.samples.data(), sizeof(int16_t), audio.samples.size(), out) != audio.samples.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "mp3pcm: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%zu frames\n", audio.frames());
    return 0;
}
