// PNG files through stb_image_write (the Windows build has no libpng).
#include "app/capture.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <cstdio>

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

bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgbBottomUp)
{
    PngFile out{std::fopen(path.c_str(), "wb"), false};
    if (!out.file)
        return false;
    // GL's rows run bottom first: flip while writing.
    stbi_flip_vertically_on_write(1);
    const bool encoded = stbi_write_png_to_func(writeToFile, &out, width, height, 3, rgbBottomUp.data(), width * 3);
    const bool closed = std::fclose(out.file) == 0;
    return encoded && closed && !out.failed;
}
