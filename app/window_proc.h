// The window procedure and one turn of the message loop, free of any platform
// API: messages come in as platform::Message records, so the logic is tested by
// feeding it messages.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct RuntimeState;
struct FrameInput;

// What the window procedure and loop call outside themselves.
struct WindowProcHooks {
    void (*resizeView)(int width, int height) = nullptr;
    void (*pointCapture)() = nullptr;   // middle button: developer point capture
    bool (*runFrame)() = nullptr;       // the frame driver
    bool (*swapBuffers)() = nullptr;
};

// True when the message is handled (Win32 result 0); false when it went through
// the common tail and goes on to the platform's default processing.
bool windowProc(const platform::Message& message, RuntimeState& state, FrameInput& input,
                const WindowProcHooks& hooks);

// The idle part of a loop turn (no message waiting): frame when active, end
// request on stop or Escape, buffer swap, F1 pulse, release of the keys that
// went up before this turn saw them.
void idleTurn(RuntimeState& state, const WindowProcHooks& hooks);

// Appends the developer point capture to the input's point list and the
// clipboard text (three lines of 6-significant-digit numbers).
void capturePoint(RuntimeState& state, FrameInput& input, const float cameraEye[3]);
