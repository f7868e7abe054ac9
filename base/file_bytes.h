// Whole files from outside the program (assets, recordings, key files, shaders):
// only regular files are opened, the size is what was read rather than what the
// file system reports, and nothing throws. Header only, portable C++17.
#pragma once
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

// No asset comes near this; a larger file is refused before memory runs out.
constexpr size_t kMaxInputFileBytes = size_t(1) << 30;

// What stands at `path`: empty for a regular file, else why it cannot be read as
// one ("does not exist", "is a folder", "is not a regular file"). Asked before
// opening, since opening a FIFO waits for a writer that may never come.
inline std::string notARegularFile(const char* path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return "does not exist";
    if (error)
        return "cannot be examined (" + error.message() + ")";
    if (status.type() == std::filesystem::file_type::directory)
        return "is a folder";
    if (status.type() != std::filesystem::file_type::regular)
        return "is not a regular file";
    return {};
}

// The bytes of the regular file at `path`. False with `why` (a phrase that
// follows the file's name) when it is not one, cannot be opened or read, or holds
// more than maxBytes.
inline bool readFileBytes(const char* path, std::string& bytes, std::string& why,
                          size_t maxBytes = kMaxInputFileBytes)
{
    bytes.clear();
    why = notARegularFile(path);
    if (!why.empty())
        return false;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        why = "cannot be opened (" + std::error_code(errno, std::generic_category()).message() + ")";
        return false;
    }
    char chunk[1 << 16];
    size_t got = 0;
    try {
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            if (got > maxBytes - bytes.size()) {
                why = "is larger than " + std::to_string(maxBytes) + " bytes";
                break;
            }
            bytes.append(chunk, got);
        }
    } catch (const std::bad_alloc&) {
        why = "is too large to hold in memory";
    }
    if (why.empty() && std::ferror(file))
        why = "cannot be read (" + std::error_code(errno, std::generic_category()).message() + ")";
    std::fclose(file);
    if (!why.empty()) {
        bytes.clear();
        return false;
    }
    return true;
}
