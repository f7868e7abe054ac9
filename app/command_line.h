// Command-line options of the show: how people script it (no dialog, a fixed size,
// a fixed time step, screenshots, captures). Parsing is pure; the entry decides what
// to do with the result (usage errors exit with kUsageExitStatus).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/demo_context.h"

constexpr int kUsageExitStatus = 64; // EX_USAGE

struct ScreenshotRequest {
    double showSeconds = 0; // taken at the first frame whose show time reaches this
    std::string file;       // PNG path
};

struct CommandLine {
    bool help = false;
    bool version = false;
    bool noDialog = false;
    bool windowed = false;
    bool fullscreen = false;
    bool noAa = false;
    bool noSound = false;
    bool benchmark = false;
    std::string benchmarkFile;     // --benchmark FILE.csv: one row per frame
    bool bare = false;             // --bare: nothing drawn in the scene passes
    int32_t width = 0, height = 0; // --size; 0 when not given
    int32_t fixedStep = 0;         // frames per show second; 0: the real clock
    double showEnd = 0;            // --show-end; 0: the show's own end
    std::vector<ScreenshotRequest> screenshots;
    std::string capture;              // --capture FILE.mp4
    int32_t framesPerSecond = 0;      // --fps; 0 when not given
    double fromSeconds = 0;           // --from; 0: from the start of the show
    double toSeconds = 0;             // --to; 0: to the end of the show
    double startSeconds = 0;          // --start; 0: play from the start
    std::vector<std::string> unknown; // options not understood
    bool anyArgument = false;         // the command line was not empty
};

// Parses argv[1..]. Options take their value as the next word or after '='
// (--size=1280x720); --benchmark takes the next word only when it is not an option. On a usage error (unknown option, missing or bad value,
// --windowed with --fullscreen) returns false with a one-line message in `error`.
bool parseCommandLine(int argc, char** argv, CommandLine& out, std::string& error);

// The --help text (also printed, after the error line, on a usage error).
std::string usageText();
// The --version line.
std::string versionText();

// True when the command line makes the start dialog's choice itself: --no-dialog,
// --size, --windowed, --fullscreen or --no-aa.
bool commandLineChoosesMode(const CommandLine& line);

// Before the dialog: turns RunConfig::showDialog off when the command line makes the
// choice, and RunConfig::soundEnabled off for --no-sound.
void applyCommandLineSwitches(const CommandLine& line, RunConfig& config);

// After the dialog or the entry's 1280 x 720 default: the size, full-screen and
// antialiasing choices of the command line (only the ones it gives).
void applyCommandLineWindow(const CommandLine& line, RuntimeState& state, RunConfig& config,
                            DemoContext& context);
