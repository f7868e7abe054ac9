// Floating-point text through the C++ library's from_chars.
#include "formats/float_text.h"

#include <charconv>
#include <cstdlib>
#include <string>

const char* readFloatText(const char* first, const char* last, float& value)
{
    float v = 0.0f;
    const auto result = std::from_chars(first, last, v);
    if (result.ptr == first)
        return first;
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone out of range; strtof gives the limit.
        const std::string copy(first, result.ptr);
        v = std::strtof(copy.c_str(), nullptr);
    }
    value = v;
    return result.ptr;
}
