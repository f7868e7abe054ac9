// Small helpers of the tests that read what programs and files leave behind.
#pragma once
#include <filesystem>
#include <string>

// The whole file as bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Runs a shell command and returns everything it wrote to standard output.
std::string commandOutput(const std::string& command);
