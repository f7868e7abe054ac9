// Emscripten 3.1.6 ships libc++ 14, which has no floating-point std::from_chars
// (a float argument would even bind to its deleted bool overload). The browser
// build force-includes this header so the number readers compile unchanged: the
// same pattern as C++17's chars_format::general (optional '-', digits with an
// optional point, an exponent only when digits follow it, inf, infinity, nan,
// nan(...); no blank, no '+', no hexadecimal), converted by strtof/strtod in the
// "C" locale, which round correctly as from_chars does. Out of range: the value is
// left alone and the result says so, as from_chars does.
#pragma once
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace zur_from_chars {

inline bool matchWord(const char* p, const char* last, const char* word)
{
    const size_t n = std::strlen(word);
    if (size_t(last - p) < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(p[i])) != word[i])
            return false;
    return true;
}

// End of the longest number at `first`, or `first` when there is none.
inline const char* numberEnd(const char* first, const char* last)
{
    const char* p = first;
    if (p < last && *p == '-')
        ++p;
    if (matchWord(p, last, "infinity"))
        return p + 8;
    if (matchWord(p, last, "inf"))
        return p + 3;
    if (matchWord(p, last, "nan")) {
        const char* q = p + 3;
        if (q < last && *q == '(') {
            const char* r = q + 1;
            while (r < last && (std::isalnum(static_cast<unsigned char>(*r)) || *r == '_'))
                ++r;
            if (r < last && *r == ')')
                return r + 1;
        }
        return q;
    }
    const char* digitsFrom = p;
    while (p < last && std::isdigit(static_cast<unsigned char>(*p)))
        ++p;
    bool any = p > digitsFrom;
    if (p < last && *p == '.') {
        const char* fraction = ++p;
        while (p < last && std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
        any = any || p > fraction;
    }
    if (!any)
        return first;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < last && (*q == '+' || *q == '-'))
            ++q;
        const char* exponent = q;
        while (q < last && std::isdigit(static_cast<unsigned char>(*q)))
            ++q;
        if (q > exponent)
            p = q;
    }
    return p;
}

template <typename T, typename Convert>
std::from_chars_result parse(const char* first, const char* last, T& value, Convert convert)
{
    const char* end = numberEnd(first, last);
    if (end == first)
        return {first, std::errc::invalid_argument};
    const std::string text(first, end);
    errno = 0;
    const T v = convert(text.c_str());
    if (errno == ERANGE)
        return {end, std::errc::result_out_of_range};
    value = v;
    return {end, std::errc()};
}

} // namespace zur_from_chars

namespace std {

inline from_chars_result from_chars(const char* first, const char* last, float& value,
                                    chars_format = chars_format::general)
{
    return zur_from_chars::parse(first, last, value, [](const char* s) { return std::strtof(s, nullptr); });
}

inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format = chars_format::general)
{
    return zur_from_chars::parse(first, last, value, [](const char* s) { return std::strtod(s, nullptr); });
}

} // namespace std
