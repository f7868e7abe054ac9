// The recording's WAV file: little-endian header, checked writes.
#include "app/capture/capture_wav.h"

#include <cerrno>
#include <system_error>

namespace {

std::string errnoText()
{
    return errno ? std::error_code(errno, std::generic_category()).message() : "write error";
}

// The first failure is kept, and the recording is then not passed off as whole.
void writeBytes(WavWriter& wav, const void* data, size_t bytes)
{
    if (!wav.file || !wav.error.empty())
        return;
    errno = 0;
    if (std::fwrite(data, 1, bytes, wav.file) != bytes)
        wav.error = errnoText();
}

void putLe32(WavWriter& wav, uint32_t v)
{
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    writeBytes(wav, b, 4);
}

void putLe16(WavWriter& wav, uint16_t v)
{
    unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    writeBytes(wav, b, 2);
}

void writeHeader(WavWriter& wav, uint32_t dataBytes)
{
    writeBytes(wav, "RIFF", 4);
    putLe32(wav, 36 + dataBytes);
    writeBytes(wav, "WAVEfmt ", 8);
    putLe32(wav, 16);
    putLe16(wav, 1);
    putLe16(wav, 2);
    putLe32(wav, kSoundRate);
    putLe32(wav, kSoundRate * 4);
    putLe16(wav, 4);
    putLe16(wav, 16);
    writeBytes(wav, "data", 4);
    putLe32(wav, dataBytes);
}

} // namespace

bool openWav(WavWriter& wav, const std::string& path)
{
    wav = WavWriter{};
    errno = 0;
    wav.file = std::fopen(path.c_str(), "wb");
    if (!wav.file) {
        wav.error = std::error_code(errno, std::generic_category()).message();
        return false;
    }
    writeHeader(wav, 0);
    return true;
}

void writeWavFrames(WavWriter& wav, const int16_t* samples, long long frames)
{
    writeBytes(wav, samples, static_cast<size_t>(frames) * 2 * sizeof(int16_t));
    wav.frames += frames;
}

bool closeWav(WavWriter& wav)
{
    if (!wav.file)
        return wav.error.empty();
    if (wav.error.empty()) {
        std::fflush(wav.file);
        if (std::ferror(wav.file))
            wav.error = "write error";
    }
    if (wav.error.empty() && std::fseek(wav.file, 0, SEEK_SET) == 0)
        writeHeader(wav, static_cast<uint32_t>(wav.frames * 4));
    errno = 0;
    if (std::fclose(wav.file) != 0 && wav.error.empty())
        wav.error = errnoText();
    wav.file = nullptr;
    return wav.error.empty();
}
