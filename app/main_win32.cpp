// Process entry on Windows: a GUI program, so no console appears unless the show
// is started with arguments (then the developer console opens at once, so that
// --help and usage errors are seen too).
#include <windows.h>

#include <cstdlib>

#include "app/entry.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // The picture is drawn in the display's own pixels: sizes in the dialog and
    // in full screen are real modes, not scaled ones.
    SetProcessDPIAware();
    if (commandLine && commandLine[0] != '\0')
        platform::openConsole();
    return programMain(__argc, __argv);
}
