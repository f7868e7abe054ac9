// Reading a track file for the platform's MP3 decoder (decodeMp3Memory).
#include "audio/sound_decode.h"

#include "base/file_bytes.h"

bool decodeMp3File(const std::string& path, DecodedAudio& out, std::string* error) {
    std::string bytes, why;
    if (!readFileBytes(path.c_str(), bytes, why)) {
        if (error) *error = path + ": " + why;
        out.samples.clear();
        return false;
    }
    std::string reason;
    if (!decodeMp3Memory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, &reason)) {
        if (error) *error = path + ": " + reason;
        return false;
    }
    return true;
}
