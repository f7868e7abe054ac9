// The recording's lines and progress bar on standard error.
#include "app/capture/capture_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "app/capture/capture.h"

namespace {

using Clock = ProgressBar::Clock;

std::string clockText(double seconds)
{
    const long long s = std::max(0LL, std::llround(seconds));
    if (s >= 3600)
        return textf("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return textf("%lld:%02lld", s / 60, s % 60);
}

} // namespace

void sayLine(ProgressBar& bar, const std::string& line)
{
    if (bar.lineShown) {
        std::fputs("\r\033[K", stderr);
        bar.lineShown = false;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

std::string textf(const char* pattern, ...)
{
    // Sized to the text: a message names files whose paths can be long.
    va_list args, again;
    va_start(args, pattern);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    return text;
}

// A frame landing on the end may or may not be drawn, as the sum of steps falls;
// the bar leaves it out.
long long framesInRange(const CaptureSettings& s)
{
    const double fps = s.framesPerSecond;
    const long long first = std::max(1LL, static_cast<long long>(std::ceil(s.fromSeconds * fps - 1e-6)));
    long long last = static_cast<long long>(std::floor(s.endSeconds * fps - 1e-6));
    if (s.toSeconds > 0)
        last = std::min(last, static_cast<long long>(std::ceil(s.toSeconds * fps - 1e-6)) - 1);
    return std::max(0LL, last - first + 1);
}

void showProgress(ProgressBar& bar, long long done, double showTime, bool last)
{
    if (bar.total <= 0)
        return;
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - bar.started).count();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double left = rate > 0 ? (bar.total - done) / rate : 0;
    const int percent = static_cast<int>(std::min<long long>(100, done * 100 / bar.total));
    if (bar.terminal) {
        if (!last && now - bar.lastDrawn < std::chrono::milliseconds(200))
            return;
        bar.lastDrawn = now;
        const int filled = percent / 5;
        std::fprintf(stderr, "\r\033[Kcapture [%.*s%.*s] %3d%%  %lld/%lld frames  show %.1f s  %.1f frames/s  %s left",
                     filled, "####################", 20 - filled, "....................", percent, done, bar.total,
                     showTime, rate, clockText(left).c_str());
        bar.lineShown = true;
        if (last) {
            std::fputc('\n', stderr);
            bar.lineShown = false;
        }
        std::fflush(stderr);
        return;
    }
    const int tenth = percent / 10;
    if (tenth > bar.lastTenth) {
        bar.lastTenth = tenth;
        sayLine(bar, textf("capture: %d%%, %lld/%lld frames, show %.1f s, %.1f frames/s, %s left", tenth * 10, done,
                           bar.total, showTime, rate, clockText(left).c_str()));
    }
}
