// jpeg2pnm IN.jpg OUT.pnm [--accurate]: decodes IN with the show's JPEG decoder
// (fast mode unless --accurate) and writes a binary PPM (colour) or PGM
// (greyscale). On failure prints the error code and its meaning, exits 1.
#include "formats/jpeg_decoder.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

static int failWith(const char* path, int32_t code)
{
    std::fprintf(stderr, "jpeg2pnm: %s: error %d: %s\n", path, code, jpegErrorText(code));
    return 1;
}

int main(int argc, char** argv)
{
    const char* inPath = nullptr;
    const char* outPath = nullptr;
    bool accurate = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--accurate") == 0)
            accurate = true;
        else if (!inPath)
            inPath = argv[i];
        else if (!outPath)
            outPath = argv[i];
        else
            inPath = nullptr, outPath = nullptr, i = argc;
    }
    if (!inPath || !outPath) {
        std::fprintf(stderr, "usage: jpeg2pnm IN.jpg OUT.pnm [--accurate]\n");
        return 2;
    }

    jpeg_decoder_file_stream stream;
    if (!stream.open(inPath)) {
        std::fprintf(stderr, "jpeg2pnm: cannot open %s\n", inPath);
        return 1;
    }
    std::unique_ptr<JpegDecoder> decoder(new JpegDecoder(&stream, !accurate));
    if (decoder->errorCode())
        return failWith(inPath, decoder->errorCode());
    if (decoder->begin() != 0)
        return failWith(inPath, decoder->errorCode());

    const int32_t width = decoder->width(), height = decoder->height();
    const bool colour = decoder->bytesPerPixel() == 4;
    const size_t outRow = static_cast<size_t>(width) * (colour ? 3 : 1);
    std::vector<uint8_t> pixels(outRow * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        const int32_t status = decoder->decodeLine(&row, &bytes);
        if (status != 0)
            return failWith(inPath, decoder->errorCode() ? decoder->errorCode() : status);
        uint8_t* dst = pixels.data() + outRow * static_cast<size_t>(y);
        if (colour) {
            for (int32_t x = 0; x < width; ++x) {
                dst[3 * x + 0] = row[4 * x + 0];
                dst[3 * x + 1] = row[4 * x + 1];
                dst[3 * x + 2] = row[4 * x + 2];
            }
        } else {
            std::memcpy(dst, row, outRow);
        }
    }

    FILE* out = std::fopen(outPath, "wb");
    if (!out) {
        std::fprintf(stderr, "jpeg2pnm: cannot write %s\n", outPath);
        return 1;
    }
    std::fprintf(out, "P%c\n%d %d\n255\n", colour ? '6' : '5', width, height);
    const bool ok = std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    if (std::fclose(out) != 0 || !ok) {
        std::fprintf(stderr, "jpeg2pnm: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}
