// Fuzz target for the JPEG decoder: every input must end in an image or an error
// code. Work per input is bounded here, not in the decoder: images above a pixel
// budget (scaled down by the number of scans a progressive file may hold) are
// skipped after the headers, and image memory is capped through the decoder's limit.
#include "formats/jpeg_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr int64_t kPixelBudget = 1 << 19;        // pixels x scans per input
constexpr size_t kMemoryLimit = 256u << 20;      // bytes of image buffers

class FuzzStream : public jpeg_decoder_stream {
public:
    FuzzStream(const uint8_t* d, size_t n, int32_t chunk) : data(d), size(n), chunkLimit(chunk) {}
    int32_t read(uint8_t* buffer, int32_t maxBytes, bool* eofFlag) override
    {
        const size_t want = static_cast<size_t>(maxBytes < chunkLimit ? maxBytes : chunkLimit);
        const size_t n = want < size - pos ? want : size - pos;
        std::memcpy(buffer, data + pos, n);
        pos += n;
        if (pos == size)
            *eofFlag = true;
        return static_cast<int32_t>(n);
    }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    int32_t chunkLimit;
};

int64_t countScans(const uint8_t* data, size_t size)
{
    int64_t n = 0;
    for (size_t i = 0; i + 1 < size; ++i)
        if (data[i] == 0xFF && data[i + 1] == 0xDA)
            ++n;
    return n > 0 ? n : 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The last byte picks the mode and how the stream hands out its data, so the
    // accurate transform and short reads get their share of the inputs.
    const uint8_t selector = size ? data[size - 1] : 0;
    const bool fast = (selector & 1) == 0;
    const int32_t chunk = (selector & 2) ? 1 + (selector >> 2) * 37 : 1 << 30;

    FuzzStream stream(data, size, chunk);
    JpegDecoder decoder(&stream, fast);
    if (decoder.errorCode() != 0)
        return 0;
    const int64_t pixels = static_cast<int64_t>(decoder.width()) * decoder.height();
    if (pixels * countScans(data, size) > kPixelBudget)
        return 0;
    decoder.setSimd((selector & 4) == 0);
    decoder.setMemoryLimit(kMemoryLimit);
    if (decoder.begin() != 0)
        return 0;

    const uint32_t expected = static_cast<uint32_t>(decoder.width() * decoder.bytesPerPixel());
    uint32_t checksum = 0;
    int32_t rows = 0;
    for (;;) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        const int32_t r = decoder.decodeLine(&row, &bytes);
        if (r != 0)
            break;
        if (bytes != expected || ++rows > decoder.height())
            __builtin_trap();
        for (uint32_t i = 0; i < bytes; ++i) // every handed-out byte must be readable and initialised
            checksum += row[i];
    }
    if (decoder.errorCode() == 0 && rows != decoder.height())
        __builtin_trap();
    return static_cast<int>(checksum & 0);
}
