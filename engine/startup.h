// Start-up: everything between the GL context becoming current and the first
// frame, in a fixed order (GL entry points, render targets, the part and its
// assets, the music, the clock, the cue sheet). Fatal failures end the process
// with the statuses the README lists.
#pragma once

class parts;

// Exit statuses of start-up failures.
constexpr int kExitSoundInit = 1;     // the sound library could not start
constexpr int kExitCameraKeys = 2;    // "newobjects/paths.pt" missing (the scene ends with it)
constexpr int kExitTexture = 3;       // a texture could not be opened or decoded
constexpr int kExitSoundFile = 4;     // the ambient (or enabled effects) track is missing
constexpr int kExitAllocation = 5;    // a render target or texture cannot be allocated

// Where start-up places the pencil loop at show time 0: 50 s into it, in sample frames.
constexpr unsigned kAmbientStartFrame = 50 * 44100;

struct StartupHooks {
    parts* (*makePart)() = nullptr;   // constructs the part for slot 0
    bool (*presentFrame)() = nullptr; // swaps the window's buffers
};
extern StartupHooks startupHooks;

void runStartup();

// Starts the music: init, the two (three) samples, loop mode, channels, volume
// and start position. Ends the process on the fatal failures.
void startSound();
