// Developer aids shared by the frame driver and the window procedure: numbers
// written the way the Windows runtime's _gcvt writes them, the one-line developer
// caption, and where the developer files live on this platform.
#pragma once
#include <cstdint>
#include <string>

#include "engine/demo_context.h"

// `value` with `digits` significant digits (1 to 17) in the manner of _gcvt: fixed
// notation when the value's decimal exponent lies in -1 .. digits - 1, otherwise
// exponent notation with a sign and three exponent digits ("1.23457e+006",
// "5.e-002"); the decimal point is always written and trailing zeros after it are
// dropped ("12.", "0.5", "0."); ties round away from zero ("2.5" to one digit is
// "3."). Infinities and NaNs are written as "1.#INF", "-1.#INF", "1.#QNAN".
std::string formatGcvt(double value, int digits);

constexpr int kCaptionColumns = 124;

// The developer caption: 124 columns of blanks with each label and value written
// at its fixed column (the "Time:" value starts on the label's colon); the "ZZ:"
// value runs past column 124 and the line ends right after it. A value longer than
// its field is cut by the label that follows it.
std::string buildCaption(const FrameInput& input, double showTime, int32_t fpsFrames, double fpsSeconds,
                         double aux0, double aux1);

// Frame rate shown by the caption: the average since start-up.
inline double captionFrameRate(int32_t fpsFrames, double fpsSeconds)
{
    return fpsFrames / (fpsSeconds > 0.01 ? fpsSeconds : 0.01);
}

// Folder that stands for the drive of the developer files' Windows paths:
// $ZUR_DEV_DIR, or "./dev" when unset or empty. The program never creates it.
std::string developerFolder();

// Maps a developer file's Windows path to this platform: a leading drive ("c:",
// "C:") becomes developerFolder(), doubled separators and backslashes become one
// '/'; a trailing separator is kept. Paths without a drive are returned unchanged.
//   "c://logs//chrysalis2.log" -> "<dev>/logs/chrysalis2.log"
//   "C:/wellspring/"           -> "<dev>/wellspring/"
std::string developerPath(const std::string& windowsPath);
