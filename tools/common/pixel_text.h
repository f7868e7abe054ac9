// A 3 x 5 pixel font for the labels of the tools' plots: digits, lower-case
// letters (upper case is drawn lower case) and a little punctuation. Header only,
// no dependencies; the caller says how a pixel is set.
#pragma once
#include <cctype>
#include <cstdint>
#include <string>

namespace pixel_text {

struct Glyph {
    char c;
    uint8_t rows[5]; // one row per entry, bit 2 = left column
};

inline const Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 2, 2, 2}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'.', {0, 0, 0, 0, 2}}, {'-', {0, 0, 7, 0, 0}},
    {'_', {0, 0, 0, 0, 7}}, {':', {0, 2, 0, 2, 0}}, {'/', {1, 1, 2, 4, 4}}, {' ', {0, 0, 0, 0, 0}},
    {'a', {0, 7, 1, 7, 7}}, {'b', {4, 4, 7, 5, 7}}, {'c', {0, 7, 4, 4, 7}}, {'d', {1, 1, 7, 5, 7}},
    {'e', {0, 7, 7, 4, 7}}, {'f', {3, 4, 7, 4, 4}}, {'g', {0, 7, 5, 3, 6}}, {'h', {4, 4, 7, 5, 5}},
    {'i', {2, 0, 2, 2, 2}}, {'j', {1, 0, 1, 5, 7}}, {'k', {4, 5, 6, 5, 5}}, {'l', {6, 2, 2, 2, 7}},
    {'m', {0, 7, 7, 5, 5}}, {'n', {0, 6, 5, 5, 5}}, {'o', {0, 7, 5, 5, 7}}, {'p', {7, 5, 7, 4, 4}},
    {'q', {7, 5, 7, 1, 1}}, {'r', {0, 7, 4, 4, 4}}, {'s', {7, 4, 7, 1, 7}}, {'t', {4, 7, 4, 4, 3}},
    {'u', {0, 5, 5, 5, 7}}, {'v', {0, 5, 5, 5, 2}}, {'w', {0, 5, 5, 7, 7}}, {'x', {0, 5, 2, 2, 5}},
    {'y', {5, 5, 7, 1, 7}}, {'z', {0, 7, 1, 4, 7}}, {'(', {1, 2, 2, 2, 1}}, {')', {4, 2, 2, 2, 4}},
    {'=', {0, 7, 0, 7, 0}}, {'+', {0, 2, 7, 2, 0}}, {',', {0, 0, 0, 2, 4}},
};

// Text with its top-left corner at (x, y), each glyph pixel drawn as scale x
// scale calls of put(x, y). Characters without a glyph leave a gap.
template <typename Put>
void draw(int x, int y, const std::string& text, int scale, Put&& put)
{
    for (char ch : text) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        for (const Glyph& g : kGlyphs) {
            if (g.c != c)
                continue;
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (g.rows[row] & (4 >> col))
                        for (int dy = 0; dy < scale; ++dy)
                            for (int dx = 0; dx < scale; ++dx)
                                put(x + col * scale + dx, y + row * scale + dy);
        }
        x += 4 * scale;
    }
}

inline int width(const std::string& text, int scale) { return static_cast<int>(text.size()) * 4 * scale - scale; }

} // namespace pixel_text
