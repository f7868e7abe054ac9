// PNG files through stb_image_write (the Windows and browser builds have no libpng).
#include "formats/png_write.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <windows.h>

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

} // namespace

bool writeRgbPng(const std::string& path, int width, int height, const unsigned char* rgb, bool bottomUp)
{
    // File names are UTF-8 inside the program; the narrow fopen would read them in
    // the ANSI code page.
    std::wstring wide(size_t(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0)), L'\0');
    if (wide.empty() || MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), int(wide.size())) == 0)
        return false;
    PngFile out{_wfopen(wide.c_str(), L"wb"), false};
    if (!out.file)
        return false;
    stbi_flip_vertically_on_write(bottomUp ? 1 : 0);
    const bool encoded = stbi_write_png_to_func(writeToFile, &out, width, height, 3, rgb, width * 3);
    const bool closed = std::fclose(out.file) == 0;
    return encoded && closed && !out.failed;
}
