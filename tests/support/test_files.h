// Small helpers of the tests that read what programs and files leave behind.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

// The whole file as bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Runs a shell command and returns everything it wrote to standard output.
std::string commandOutput(const std::string& command);
// Mono samples at 44.1 kHz of the first `seconds` of a sound or video file,
// decoded by ffmpeg.
std::vector<double> decodedSound(const std::filesystem::path& file, double seconds);
