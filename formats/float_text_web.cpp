// Floating-point text in the browser build: its C++ library has no floating-point
// from_chars, so the span from_chars would take is measured here and handed to
// strtof, which rounds correctly as well (the page's C library is always in the
// "C" locale).
#include "formats/float_text.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool digit(const char* p, const char* last) { return p < last && *p >= '0' && *p <= '9'; }

bool word(const char* p, const char* last, const char* text)
{
    for (; *text; ++p, ++text)
        if (p >= last || std::tolower(static_cast<unsigned char>(*p)) != *text)
            return false;
    return true;
}

// The end of what from_chars (general format) reads at `first`, or `first`.
const char* numberEnd(const char* first, const char* last)
{
    const char* p = first;
    if (p < last && *p == '-')
        ++p;
    if (word(p, last, "infinity"))
        return p + 8;
    if (word(p, last, "inf"))
        return p + 3;
    if (word(p, last, "nan")) {
        p += 3;
        if (p < last && *p == '(') {
            const char* q = p + 1;
            while (q < last && (std::isalnum(static_cast<unsigned char>(*q)) || *q == '_'))
                ++q;
            if (q < last && *q == ')')
                return q + 1;
        }
        return p;
    }
    const char* mantissa = p;
    while (digit(p, last))
        ++p;
    bool any = p > mantissa;
    if (p < last && *p == '.') {
        const char* fraction = p + 1;
        const char* q = fraction;
        while (digit(q, last))
            ++q;
        if (any || q > fraction) {
            any = true;
            p = q;
        }
    }
    if (!any)
        return first;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < last && (*q == '+' || *q == '-'))
            ++q;
        if (digit(q, last)) {
            while (digit(q, last))
                ++q;
            p = q;
        }
    }
    return p;
}

} // namespace

const char* readFloatText(const char* first, const char* last, float& value)
{
    const char* end = numberEnd(first, last);
    if (end == first)
        return first;
    const std::string copy(first, end);
    value = std::strtof(copy.c_str(), nullptr);
    return end;
}
