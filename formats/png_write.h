// PNG files of 8-bit RGB pictures: screenshots and the tools' plots.
// Backends: png_write_libpng.cpp, png_write_stb.cpp (Windows, browser).
#pragma once
#include <string>

// Writes width x height RGB pixels, rows of width * 3 bytes, top row first unless
// `bottomUp` (as GL reads them). False when the file cannot be written whole.
bool writeRgbPng(const std::string& path, int width, int height, const unsigned char* rgb, bool bottomUp);
