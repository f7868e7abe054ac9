// PNG files through stb_image_write, for the builds without libpng: Windows and
// the browser. They differ only in how a UTF-8 file name is opened.
#include "formats/png_write.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <string>

namespace {

struct PngFile {
    std::FILE* file;
    bool failed;
};

void writeToFile(void* context, void* data, int size)
{
    auto* out = static_cast<PngFile*>(context);
    if (std::fwrite(data, 1, static_cast<size_t>(size), out->file) != static_cast<size_t>(size))
        out->failed = true;
}

std::FILE* openForWriting(const std::string& path)
{
#ifdef _WIN32
    // File names are UTF-8 inside the program; the narrow fopen would read them in
    // the ANSI code page.
    std::wstring wide(size_t(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0)), L'\0');
    if (wide.empty() || MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), int(wide.size())) == 0)
        return nullptr;
    return _wfopen(wide.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

} // namespace

bool writeRgbPng(const std::string& path, int width, int height, const unsigned char* rgb, bool bottomUp)
{
    PngFile out{openForWriting(path), false};
    if (!out.file)
        return false;
    stbi_flip_vertically_on_write(bottomUp ? 1 : 0);
    const bool encoded = stbi_write_png_to_func(writeToFile, &out, width, height, 3, rgb, width * 3);
    const bool closed = std::fclose(out.file) == 0;
    return encoded && closed && !out.failed;
}
