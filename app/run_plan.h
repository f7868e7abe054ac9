// What a command line asks of one run, settled before the window exists: the
// clock's step, the show's end, where drawing starts, what is recorded, and whether
// the run records itself because no display is there. Pure: the entry applies it.
#pragma once
#include <string>

#include "app/capture/capture.h"
#include "engine/frame_driver.h"

struct CommandLine;

// Frames per second of the recording a run without a display makes by itself.
constexpr int kHeadlessFramesPerSecond = 30;
constexpr const char* kHeadlessVideoFile = "show.mp4";

struct RunPlan {
    CaptureSettings recording;
    bool record = false;         // startCapture is needed (screenshots or video)
    bool headless = false;       // no display and nothing else asked: the show records itself
    bool offscreen = false;      // no display: draw offscreen
    int fixedStep = 0;           // frames per second of the stepped clock; 0: real time
    bool waitForDisplay = false; // shown frames wait for the display (real-time playback)
    double showEnd = 0;          // 0: the show's own end
    ShowStart start;
};

// The folder the person started the program from: $ZUR_CALLER_DIR when a launcher
// script set it (it runs the show from the asset folder), else the current one.
std::string callerFolder();

// `haveDisplay`: a window can be shown; `showEnd`: the show's end without --show-end;
// `callerFolder`: where the headless recording goes. False with a one-line message
// for what the parser cannot see (an option that needs a capture, a time past the
// end).
bool planRun(const CommandLine& line, bool haveDisplay, double showEnd, const std::string& callerFolder,
             RunPlan& plan, std::string& error);
