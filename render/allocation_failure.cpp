// Allocation failures of render targets and textures: message box, then exit.
#include "render/allocation_failure.h"

#include "gl/gl_api.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

// GL keeps one flag per kind of error; a context that is lost can answer with an
// error for ever, so the draining stops after a few rounds.
constexpr int kMaxErrorFlags = 16;

} // namespace

void allocationFailure(const char* what, int width, int height)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "Cannot make the %s of %d x %d pixels: not enough memory, or more than the graphics "
                  "driver allows.\nTry a smaller size.\nProgram will now exit.",
                  what, width, height);
    platform::messageBox(text, "ERROR", platform::kMbOk | platform::kMbIconStop);
    std::exit(kAllocationExitStatus);
}

void clearGlErrors() { glOutOfMemory(); }

bool glOutOfMemory()
{
    bool outOfMemory = false;
    for (int i = 0; i < kMaxErrorFlags; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        if (error == GL_OUT_OF_MEMORY)
            outOfMemory = true;
    }
    return outOfMemory;
}
