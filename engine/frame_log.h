// Developer frame-rate log: one sample per tenth of a second of the show, smoothed
// and written as a text table when the window shuts down. Works on the log fields
// of DemoContext (logStream, logSeconds, logBins).
#pragma once
#include <cstdint>
#include <string>

#include "engine/demo_context.h"

// The log's Windows path; open it at developerPath(kFrameLogPath).
constexpr const char* kFrameLogPath = "c://logs//chrysalis2.log";
constexpr double kFrameLogSeconds = 240.0;

// Opens (truncates) `path` and makes trunc(seconds * 10) empty bins, bin j at time
// j / 10. A file that cannot be opened leaves the stream failed: samples are still
// kept, writing does nothing. The folder is not created.
void openFrameLog(DemoContext& context, const std::string& path, double seconds);

// Stores (time, value, count) in bin trunc(time * 10); a later sample in the same
// tenth replaces the earlier one. Samples outside the bins are dropped.
void recordFrameRate(DemoContext& context, double value, double time, int32_t count);

// Smooths the values in place (bins 3 .. n - 4, left neighbours already smoothed),
// writes the bin count and every bin's time, value and count, closes the file and
// releases the bins. Does nothing when the log was never opened or is closed.
void closeFrameLog(DemoContext& context);
