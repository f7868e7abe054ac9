// What a recording says on standard error: its lines, and a progress bar that is
// redrawn in place on a terminal or given as one line per tenth of the range
// otherwise. A line said while the bar is shown clears the bar first.
#pragma once
#include <chrono>
#include <string>

struct CaptureSettings;

struct ProgressBar {
    using Clock = std::chrono::steady_clock;
    bool terminal = false;
    long long total = 0;    // frames the range should give
    int lastTenth = 0;      // tenths reported so far (not on a terminal)
    bool lineShown = false; // a bar is on the terminal's last line
    Clock::time_point started, lastDrawn;
};

// One line on standard error; a bar on the terminal is drawn again at the next frame.
void sayLine(ProgressBar& bar, const std::string& line);
// printf-style text.
std::string textf(const char* pattern, ...);

// Frames from `from` up to (not including) `to`, or up to `end` when the show ends
// first, on steps of 1/fps from show time 1/fps.
long long framesInRange(const CaptureSettings& settings);
// `done` frames of bar.total recorded, the last at showTime; `last` ends the bar.
void showProgress(ProgressBar& bar, long long done, double showTime, bool last);
