// PNG files through stb_image_write, for the builds without libpng: Windows and
// the browser. They differ only in how a UTF-8 file name is opened (write_file.h).
#include "formats/png_write.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <cstdio>
#include <string>

#include "formats/write_file.h"

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
    PngFile out{openFileForWriting(path), false};
    if (!out.file)
        return false;
    stbi_flip_vertically_on_write(bottomUp ? 1 : 0);
    const bool encoded = stbi_write_png_to_func(writeToFile, &out, width, height, 3, rgb, width * 3);
    const bool closed = std::fclose(out.file) == 0;
    return encoded && closed && !out.failed;
}
