// _gcvt-style number formatting, the developer caption and developer file paths.
#include "engine/dev_caption.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Drops zeros between the decimal point and the exponent (or the end), keeping
// the point itself, as the Windows runtime does.
void trimTrailingZeros(std::string& text)
{
    size_t point = text.find('.');
    if (point == std::string::npos)
        return;
    size_t exponent = text.find('e', point);
    size_t digitsEnd = exponent == std::string::npos ? text.size() : exponent;
    size_t keep = digitsEnd;
    while (keep > point + 1 && text[keep - 1] == '0')
        --keep;
    text.erase(keep, digitsEnd - keep);
}

// The runtime's conversion: the value's decimal digits to 21 significant places
// (exact conversion, then rounded), from which every shorter form is cut.
constexpr int kConversionDigits = 21;

struct DecimalDigits {
    std::string digits; // kConversionDigits of them, the first non-zero unless the value is 0
    int exponent = 0;   // decimal exponent of the first digit
};

DecimalDigits decimalDigits(double magnitude)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", kConversionDigits - 1, magnitude);
    DecimalDigits d;
    const char* e = std::strchr(buffer, 'e');
    for (const char* c = buffer; c < e; ++c)
        if (*c != '.')
            d.digits += *c;
    d.exponent = std::atoi(e + 1);
    return d;
}

// Cuts the digits to `count` places, rounding half up on the next digit alone (a
// tie goes away from zero: 2.5 -> 3, 1225 -> 1.23e+003), as the runtime does.
void roundDigits(DecimalDigits& d, int count)
{
    bool up = d.digits[count] >= '5';
    d.digits.resize(count);
    for (int i = count - 1; up && i >= 0; --i) {
        if (d.digits[i] == '9') {
            d.digits[i] = '0';
        } else {
            ++d.digits[i];
            up = false;
        }
    }
    if (up) { // 99.9 -> 100: one more place before the point
        d.digits.insert(d.digits.begin(), '1');
        d.digits.pop_back();
        ++d.exponent;
    }
}

// d.ddd...e+XXX: a sign and at least three exponent digits.
std::string exponentForm(const DecimalDigits& d)
{
    std::string text = d.digits.substr(0, 1) + "." + d.digits.substr(1) + "e";
    text += d.exponent < 0 ? '-' : '+';
    std::string exponent = std::to_string(std::abs(d.exponent));
    text += std::string(exponent.size() < 3 ? 3 - exponent.size() : 0, '0') + exponent;
    return text;
}

// ddd.ddd with exactly `decimals` places after the point.
std::string fixedForm(const DecimalDigits& d, int decimals)
{
    std::string whole, fraction;
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent < 0) {
        whole = "0";
        fraction = std::string(-d.exponent - 1, '0') + d.digits;
    } else {
        for (int i = 0; i <= d.exponent; ++i)
            whole += i < count ? d.digits[i] : '0';
        if (d.exponent + 1 < count)
            fraction = d.digits.substr(d.exponent + 1);
    }
    fraction.resize(decimals, '0');
    return whole + "." + fraction;
}

// Copies `text` over `line` from `column` on, without a terminating zero,
// growing the line when the text runs past its end.
void writeAt(std::string& line, size_t column, const std::string& text)
{
    if (line.size() < column + text.size())
        line.resize(column + text.size(), ' ');
    line.replace(column, text.size(), text);
}

struct CaptionField {
    const char* label;
    int labelColumn;
    int valueColumn;
    int digits;
};

//                                 label    label col  value col  digits
constexpr CaptionField kFields[] = {{"X:",    0,         3,         6},
                                    {"Y:",    18,        21,        6},
                                    {"Z:",    36,        39,        6},
                                    {"Time:", 54,        58,        6},
                                    {"Fps:",  74,        78,        6},
                                    {"Aux:",  93,        97,        6},
                                    {"tme:",  111,       115,       6},
                                    {"ZZ:",   121,       124,       3}};

} // namespace

std::string formatGcvt(double value, int digits)
{
    if (digits < 1)
        digits = 1;
    if (digits > 17)
        digits = 17;
    if (std::isnan(value))
        return std::signbit(value) ? "-1.#IND" : "1.#QNAN";
    if (std::isinf(value))
        return value < 0 ? "-1.#INF" : "1.#INF";

    if (value == 0) // zero counts as 0.xxx: the fixed form
        return std::signbit(value) ? "-0." : "0.";

    // The choice between the two notations looks at the decimal exponent of the
    // value before rounding: 999999.7 still takes the fixed form, as "1000000.".
    DecimalDigits d = decimalDigits(std::fabs(value));
    const int magnitude = d.exponent;
    roundDigits(d, digits);
    std::string text = std::signbit(value) ? "-" : "";
    if (magnitude < -1 || magnitude > digits - 1)
        text += exponentForm(d);
    else
        text += fixedForm(d, digits - magnitude - 1);
    trimTrailingZeros(text);
    return text;
}

std::string buildCaption(const FrameInput& input, double showTime, int32_t fpsFrames, double fpsSeconds,
                         double aux0, double aux1)
{
    const double values[] = {input.pointerX, input.pointerY, input.wheelTravel, showTime,
                             captionFrameRate(fpsFrames, fpsSeconds), aux0, aux1,
                             static_cast<double>(input.wheelSteps)};
    std::string line(kCaptionColumns, ' ');
    size_t end = 0;
    for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; ++i) {
        const CaptionField& field = kFields[i];
        writeAt(line, field.labelColumn, field.label);
        std::string value = formatGcvt(values[i], field.digits);
        writeAt(line, field.valueColumn, value);
        end = field.valueColumn + value.size();
    }
    // The last value's terminating zero ends the text.
    line.resize(end);
    return line;
}

std::string developerFolder()
{
    const char* dir = std::getenv("ZUR_DEV_DIR");
    return dir && *dir ? dir : "./dev";
}

std::string developerPath(const std::string& windowsPath)
{
    bool drive = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                 ((windowsPath[0] >= 'a' && windowsPath[0] <= 'z') || (windowsPath[0] >= 'A' && windowsPath[0] <= 'Z'));
    if (!drive)
        return windowsPath;
    std::string folder = developerFolder();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string result = folder;
    bool lastWasSeparator = false;
    // Everything after the drive letter, with "//" and "\" runs turned into one "/".
    result += '/';
    lastWasSeparator = true;
    for (size_t i = 2; i < windowsPath.size(); ++i) {
        char c = windowsPath[i];
        bool separator = c == '/' || c == '\\';
        if (separator) {
            if (!lastWasSeparator)
                result += '/';
        } else {
            result += c;
        }
        lastWasSeparator = separator;
    }
    return result;
}
