// Render targets and textures that cannot be allocated: the program's buffers
// (std::bad_alloc), the driver's storage (GL_OUT_OF_MEMORY) or a framebuffer the
// driver will not complete. The show cannot run without them, so it says so in a
// message box and ends with its own status instead of aborting or drawing nothing.
#pragma once

// Exit status of such a failure.
constexpr int kAllocationExitStatus = 5;

// Message box naming what could not be made and its size, then exit with
// kAllocationExitStatus.
[[noreturn]] void allocationFailure(const char* what, int width, int height);

// Empties GL's error flags, so that a later glOutOfMemory() sees only what follows.
void clearGlErrors();
// Empties GL's error flags; true when one of them was GL_OUT_OF_MEMORY.
bool glOutOfMemory();
