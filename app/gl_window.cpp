// Window creation step by step, each failure with its own message. SDL stands in
// for the window class, device context and pixel format: the steps and their
// messages stay, so a native backend can fill them in one for one.
#include "app/gl_window.h"

#include "gl/gl_api.h"

#include "render/outline_font.h"
#include "engine/demo_context.h"
#include "engine/dev_tools.h"
#include "platform/platform.h"
#include "engine/startup.h"

using namespace platform;

namespace {

void errorBox(const char* text) { messageBox(text, "ERROR", kMbOk | kMbIconExclamation); }
void shutdownBox(const char* text) { messageBox(text, "SHUTDOWN ERROR", kMbOk | kMbIconInformation); }

bool classRegistered = false;

} // namespace

bool presentWindowFrame() { return swapBuffers(runtimeState.deviceContext); }

bool createWindow(const std::string& title, int width, int height, int bits, bool fullscreen)
{
    RuntimeState& rs = runtimeState;
    rs.previousFullscreen = rs.fullscreen;
    rs.fullscreen = fullscreen;

    rs.instance = &rs; // the module handle has no meaning here; non-null marks the class registered
    if (!registerWindowClass()) {
        messageBox("Failed To Register The Window Class.", "ERROR", kMbOk | kMbIconExclamation);
        return false;
    }
    classRegistered = true;

    if (rs.fullscreen) {
        if (!changeDisplayMode(width, height, bits)) {
            int answer = messageBox("The Requested Fullscreen Mode Is Not Supported \n by your Video Card. Or it may be "
                                    "that this demo \nwas made for 16:9 aspect ratio only. \n \nUse Windowed Mode Instead?",
                                    "ZUR GL", kMbYesNo | kMbIconExclamation);
            if (answer == kIdYes) {
                rs.fullscreen = false;
            } else {
                messageBox("Program Will Now Close.", "ERROR", kMbOk | kMbIconStop);
                return false;
            }
        } else {
            showCursor(false);
        }
    }

    PixelFormat format; // 32 colour bits whatever the mode's depth, 1 alpha, 24 depth
    int x = rs.fullscreen ? 0 : 50, y = rs.fullscreen ? 0 : 50;
    rs.windowHandle = platform::createWindow(title, x, y, width, height, rs.fullscreen, format);
    if (!rs.windowHandle) {
        destroyWindow();
        errorBox("Window Creation Error.");
        return false;
    }
    rs.deviceContext = getDeviceContext(rs.windowHandle);
    if (!rs.deviceContext) {
        destroyWindow();
        errorBox("Can't Create A GL Device Context.");
        return false;
    }
    int pixelFormat = choosePixelFormat(rs.deviceContext, format);
    if (pixelFormat == 0) {
        destroyWindow();
        errorBox("Can't Find A Suitable PixelFormat (1).");
        return false;
    }
    if (!setPixelFormat(rs.deviceContext, pixelFormat)) {
        destroyWindow();
        errorBox("Can't Set The PixelFormat(2).");
        return false;
    }
    rs.renderContext = createContext(rs.deviceContext);
    if (!rs.renderContext) {
        destroyWindow();
        errorBox("Can't Create A GL Rendering Context.");
        return false;
    }
    if (!makeCurrent(rs.deviceContext, rs.renderContext)) {
        destroyWindow();
        errorBox("Can't Activate The GL Rendering Context.");
        return false;
    }
    showWindow(rs.windowHandle);
    resizeView(width, height);
    if (!initGl()) {
        destroyWindow();
        errorBox("Initialization Failed.");
        return false;
    }
    demoContext.deviceContext = rs.deviceContext;
    createOutlineFont(demoContext);
    return true;
}

void resizeView(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<float>(width) / static_cast<float>(height), static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool initGl()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    runStartup();
    return true;
}

void destroyWindow()
{
    RuntimeState& rs = runtimeState;
    if (runConfig.frameLog)
        closeDeveloperFrameLog();
    if (rs.fullscreen) {
        restoreDisplayMode();
        showCursor(true);
    }
    if (rs.renderContext) {
        if (!makeCurrent(rs.deviceContext, nullptr))
            shutdownBox("Release Of DC And RC Failed.");
        if (!deleteContext(rs.renderContext))
            shutdownBox("Release Rendering Context Failed.");
        rs.renderContext = nullptr;
    }
    if (rs.deviceContext && !releaseDeviceContext(rs.windowHandle, rs.deviceContext)) {
        shutdownBox("Release Device Context Failed.");
        rs.deviceContext = nullptr;
    }
    if (rs.windowHandle && !platform::destroyWindow(rs.windowHandle)) {
        shutdownBox("Could Not Release hWnd.");
        rs.windowHandle = nullptr;
    }
    // The handles are dropped once released, so a second shutdown (the frame
    // driver's exit path followed by the entry's) releases nothing twice.
    rs.windowHandle = nullptr;
    rs.deviceContext = nullptr;
    if (classRegistered) {
        if (!unregisterWindowClass())
            shutdownBox("Could Not Unregister Class.");
        classRegistered = false;
    }
    rs.instance = nullptr;
}
