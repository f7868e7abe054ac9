// Reading a track file for the platform's MP3 decoder (decodeMp3Memory).
#include "audio/sound_decode.h"

#include <fstream>
#include <iterator>

bool decodeMp3File(const std::string& path, DecodedAudio& out, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = path + ": cannot open";
        out.samples.clear();
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        if (error) *error = path + ": read error";
        out.samples.clear();
        return false;
    }
    std::string reason;
    if (!decodeMp3Memory(bytes.data(), bytes.size(), out, &reason)) {
        if (error) *error = path + ": " + reason;
        return false;
    }
    return true;
}
