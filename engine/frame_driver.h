// One frame of the show: clock step, generator seed, ambient volume, the frame's
// input record, cue sheet, the part's draw, and the three ways the show ends (show
// time past the end, the part's end request, the Escape fade). Every exit path
// closes sound, destroys the window, deletes the part and ends the process.
#pragma once
#include <cstdint>

constexpr double kAmbientMuteBeforeSeconds = 2.0;
constexpr double kAmbientLoudUntilSeconds = 228.0;
constexpr double kAmbientMuteAfterSeconds = 243.0;
constexpr double kShowEndSeconds = 247.5;
constexpr double kAltSlotFromSeconds = 51.6;
constexpr double kAltSlotToSeconds = 66.3;

// What the frame driver calls outside the runtime. The application installs the
// window shutdown; tests replace the process exit to observe the exit paths.
struct FrameDriverHooks {
    void (*destroyWindow)() = nullptr;
    void (*exitProcess)(int status) = nullptr; // null: std::exit
};
extern FrameDriverHooks frameDriverHooks;

// Show end in seconds: kShowEndSeconds, unless shortened by --show-end
// (setShowEndSeconds) or ZUR_TEST_SHOW_END in the environment (tests).
double showEndSeconds();
void setShowEndSeconds(double seconds);

// Seed of the frame's generator: the show time in whole microseconds, modulo 2^32.
uint32_t frameSeed(double showTime);

// Playing from a later moment (--start). Frames whose show time stays below
// `seconds` run the whole scene with every pixel write masked off (an empty scissor
// box): the show arrives there in exactly the state a played show has, in a small
// part of the time, and those frames are neither shown nor recorded. At the first
// shown frame the clock turns to real time when `realTimeAfter` (the masked frames
// run on fixed steps), and with `placeSound` the music and the pencil loop are set
// to their positions for its show time and the held sound output is released.
struct ShowStart {
    double seconds = 0;
    bool realTimeAfter = false;
    bool placeSound = false;
};
void setShowStart(const ShowStart& start);
// True when the frame just run was masked.
bool frameIsMasked();
// True until the first frame at or after the start has run.
bool showStartPending();

// Ambient (pencil) channel volume for a show time, 0..255.
int ambientVolume(double showTime, bool muted);

// Runs one frame; true while the show goes on (the exits do not return).
bool runFrame();

// Closes sound, shuts the window down, deletes part slot 0 and exits with 0.
void endShow();
