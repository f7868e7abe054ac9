// Images, noise and JPEG writing for the generated textures.
#include "tools/assetgen/image_kit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

Image::Image(int width, int height, float r, float g, float b) : w(width), h(height), px(3 * size_t(width) * height)
{
    for (size_t i = 0; i < px.size(); i += 3) {
        px[i] = r;
        px[i + 1] = g;
        px[i + 2] = b;
    }
}

void Image::blend(int x, int y, float r, float g, float b, float a)
{
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0)
        return;
    float* p = at(x, y);
    p[0] += (r - p[0]) * a;
    p[1] += (g - p[1]) * a;
    p[2] += (b - p[2]) * a;
}

static double lattice(int x, int y, uint32_t seed)
{
    uint32_t hsh = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    hsh = (hsh ^ (hsh >> 13)) * 1274126177u;
    hsh ^= hsh >> 16;
    return (hsh & 0xffffff) / 16777215.0;
}

double tileNoise(double x, double y, int px, int py, uint32_t seed)
{
    double fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto L = [&](int a, int b) { return lattice(((a % px) + px) % px, ((b % py) + py) % py, seed); };
    double a = L(ix, iy), b = L(ix + 1, iy), c = L(ix, iy + 1), d = L(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double tileFbm(double x, double y, int px, int py, int octaves, uint32_t seed)
{
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * tileNoise(x, y, px, py, seed + 101u * o);
        norm += amp;
        x *= 2;
        y *= 2;
        px *= 2;
        py *= 2;
        amp *= 0.5;
    }
    return sum / norm;
}

std::vector<uint8_t> encodeJpeg(const Image& img, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(img.w);
    cinfo.image_height = static_cast<JDIMENSION>(img.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = FALSE;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(3 * static_cast<size_t>(img.w));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = img.h - 1 - static_cast<int>(cinfo.next_scanline); // top row first
        for (int x = 0; x < img.w; ++x)
            for (int c = 0; c < 3; ++c) {
                float v = img.at(x, y)[c];
                row[3 * x + c] = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
            }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> encodePngRgba(int width, int height, const std::vector<uint8_t>& rgba)
{
    if (width <= 0 || height <= 0 || rgba.size() != 4 * static_cast<size_t>(width) * height)
        return {};
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgba.data(), 0, nullptr))
        return {};
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, rgba.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}
