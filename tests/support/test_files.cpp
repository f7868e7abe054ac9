#include "tests/support/test_files.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string commandOutput(const std::string& command)
{
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

std::vector<double> decodedSound(const std::filesystem::path& file, double seconds)
{
    const std::string command = "ffmpeg -v error -i '" + file.string() + "' -t " + std::to_string(seconds) +
                                " -ac 1 -ar 44100 -f s16le -";
    std::vector<double> samples;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        int16_t block[4096];
        size_t got;
        while ((got = std::fread(block, sizeof(int16_t), 4096, pipe)) > 0)
            samples.insert(samples.end(), block, block + got);
        pclose(pipe);
    }
    return samples;
}
