// _gcvt-style number formatting, the developer caption and developer file paths.
#include "runtime/dev_caption.h"

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

// "%.Ne" output with a decimal point forced and the exponent widened to three
// digits ("1.5e+06" -> "1.5e+006", "1e+06" -> "1.e+006").
std::string exponentForm(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", decimals, value);
    std::string text = buffer;
    size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    if (mantissa.find('.') == std::string::npos)
        mantissa += '.';
    char sign = text[e + 1];
    std::string digits = text.substr(e + 2);
    while (digits.size() < 3)
        digits.insert(digits.begin(), '0');
    return mantissa + 'e' + sign + digits;
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

    // The choice between the two notations looks at the decimal exponent of the
    // value itself (taken to 17 digits), not of its rounded form: 999999.7 still
    // takes the fixed form and comes out as "1000000.".
    int magnitude = -1; // zero counts as 0.xxx
    if (value != 0) {
        char probe[64];
        std::snprintf(probe, sizeof probe, "%.16e", value);
        magnitude = std::atoi(std::strchr(probe, 'e') + 1);
    }

    std::string text;
    if (magnitude < -1 || magnitude > digits - 1) {
        text = exponentForm(value, digits - 1);
    } else {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.*f", digits - magnitude - 1, value);
        text = buffer;
        if (text.find('.') == std::string::npos)
            text += '.';
    }
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
