// Developer frame-rate log.
#include "engine/frame_log.h"

#include <cmath>
#include <ostream>

namespace {

constexpr double kBinsPerSecond = 10.0;

int64_t binCount(double seconds)
{
    double n = std::trunc(seconds * kBinsPerSecond);
    return n > 0 && n < 1e8 ? static_cast<int64_t>(n) : 0; // a length beyond a day is a mistake
}

} // namespace

void openFrameLog(DemoContext& context, const std::string& path, double seconds)
{
    if (context.logStream.is_open())
        context.logStream.close();
    context.logStream.clear();
    context.logStream.open(path, std::ios::out | std::ios::trunc);
    context.logSeconds = seconds;
    int64_t n = binCount(seconds);
    context.logBins.assign(static_cast<size_t>(n), FrameLogBin{});
    for (int64_t j = 0; j < n; ++j)
        context.logBins[j].time = j / kBinsPerSecond;
}

void recordFrameRate(DemoContext& context, double value, double time, int32_t count)
{
    double k = std::trunc(time * kBinsPerSecond);
    // The comparison in double keeps negative, huge and NaN times out of the table.
    if (!(k >= 0 && k < static_cast<double>(context.logBins.size())))
        return;
    FrameLogBin& bin = context.logBins[static_cast<size_t>(k)];
    bin.time = time;
    bin.value = value;
    bin.count = count;
}

void closeFrameLog(DemoContext& context)
{
    if (!context.logStream.is_open() && context.logBins.empty())
        return;
    std::vector<FrameLogBin>& bins = context.logBins;
    const int64_t n = static_cast<int64_t>(bins.size());
    std::ostream& out = context.logStream;
    out << binCount(context.logSeconds) << "\n";

    // In place and ascending: bin i already sees its smoothed left neighbours.
    for (int64_t i = 3; i <= n - 4; ++i) {
        double right = (10 * bins[i].value + 6 * bins[i + 1].value + 3 * bins[i + 2].value + 2 * bins[i + 3].value) / 21;
        double left = (10 * bins[i].value + 6 * bins[i - 1].value + 3 * bins[i - 2].value + 2 * bins[i - 3].value) / 21;
        bins[i].value = (right + left) / 2;
    }
    for (const FrameLogBin& bin : bins)
        out << bin.time << "\n" << bin.value << "\n" << bin.count << "\n";

    context.logStream.close();
    bins.clear();
    bins.shrink_to_fit();
}
