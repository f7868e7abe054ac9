// Browser backend of the platform layer: the page's canvas with a WebGL 2 context
// (emscripten/html5.h), its DOM events turned into the window messages the
// portable window procedure understands, message boxes as an overlay of the page,
// and the loop driven by the browser's frames. The page (tools/web/index.html)
// supplies the overlay, the display's size and the clipboard.
#include "platform/platform.h"
#include "platform/message_queue.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {

namespace {

constexpr const char* kCanvas = "#canvas";

MessageQueue messages;
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
int swapInterval = 1;
int (*loopTurn)() = nullptr;
double cursorX = 0, cursorY = 0;
bool eventsListening = false;
// A non-null handle for the window and device context: the canvas itself is
// named by kCanvas and lives as long as the page.
int canvasToken = 0;

void push(uint32_t id, uint64_t wParam = 0, int64_t lParam = 0) { messages.post(id, wParam, lParam); }

// DOM key codes are Windows virtual-key codes for the keys the show uses;
// 0 for keys it has no use for.
int virtualKeyFor(unsigned long keyCode)
{
    if ((keyCode >= 'A' && keyCode <= 'Z') || (keyCode >= '0' && keyCode <= '9'))
        return static_cast<int>(keyCode);
    if (keyCode >= 0x70 && keyCode <= 0x7B) // F1..F12
        return static_cast<int>(keyCode);
    switch (keyCode) {
    case 0x08: case 0x09: case 0x0D: case 0x10: case 0x11: case 0x12: case 0x1B: case 0x20:
    case 0x21: case 0x22: case 0x23: case 0x24: case 0x25: case 0x26: case 0x27: case 0x28:
    case 0x2D: case 0x2E:
        return static_cast<int>(keyCode);
    default:
        return 0;
    }
}

// The character a key types, as the other backends send it (lower-case letters,
// digits, blank, Return, Backspace, Tab, Escape); 0 for none.
int characterFor(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return std::tolower(vk);
    if ((vk >= '0' && vk <= '9') || vk == 0x20 || vk == 0x0D || vk == 0x08 || vk == 0x09 || vk == 0x1B)
        return vk;
    return 0;
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void*)
{
    const int vk = virtualKeyFor(event->keyCode);
    if (vk == 0)
        return EM_FALSE;
    push(type == EMSCRIPTEN_EVENT_KEYDOWN ? kMsgKeyDown : kMsgKeyUp, static_cast<uint64_t>(vk));
    if (type == EMSCRIPTEN_EVENT_KEYDOWN && characterFor(vk) != 0)
        push(kMsgChar, static_cast<uint64_t>(characterFor(vk)));
    // The page keeps its own keys (reload, full screen, developer tools); the
    // arrows and the blank would scroll it.
    return vk == 0x20 || (vk >= 0x25 && vk <= 0x28) ? EM_TRUE : EM_FALSE;
}

EM_BOOL onMouseButton(int type, const EmscriptenMouseEvent* event, void*)
{
    const bool down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
    const int64_t where = makeLParam(static_cast<int>(event->targetX), static_cast<int>(event->targetY));
    if (event->button == 0)
        push(down ? kMsgLButtonDown : kMsgLButtonUp, 0, where);
    else if (event->button == 2)
        push(down ? kMsgRButtonDown : kMsgRButtonUp, 0, where);
    else if (event->button == 1 && down)
        push(kMsgMButtonDown, 0, where);
    return EM_FALSE;
}

EM_BOOL onMouseMove(int, const EmscriptenMouseEvent* event, void*)
{
    cursorX = static_cast<double>(event->screenX);
    cursorY = static_cast<double>(event->screenY);
    push(kMsgMouseMove, 0, makeLParam(static_cast<int>(event->targetX), static_cast<int>(event->targetY)));
    return EM_FALSE;
}

EM_BOOL onWheel(int, const EmscriptenWheelEvent* event, void*)
{
    // 120 units per notch, up is positive as on Windows. A notch is about 100
    // pixels or 3 lines in the browsers' own units.
    double notches = -event->deltaY;
    if (event->deltaMode == DOM_DELTA_PIXEL)
        notches /= 100.0;
    else if (event->deltaMode == DOM_DELTA_LINE)
        notches /= 3.0;
    long delta = std::lround(notches * 120.0);
    delta = delta < -32768 ? -32768 : (delta > 32767 ? 32767 : delta);
    push(kMsgMouseWheel, static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16);
    return EM_TRUE;
}

void listen()
{
    if (eventsListening)
        return;
    eventsListening = true;
    const char* doc = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
    emscripten_set_keydown_callback(doc, nullptr, EM_FALSE, onKey);
    emscripten_set_keyup_callback(doc, nullptr, EM_FALSE, onKey);
    emscripten_set_mousedown_callback(kCanvas, nullptr, EM_FALSE, onMouseButton);
    emscripten_set_mouseup_callback(kCanvas, nullptr, EM_FALSE, onMouseButton);
    emscripten_set_mousemove_callback(kCanvas, nullptr, EM_FALSE, onMouseMove);
    emscripten_set_wheel_callback(kCanvas, nullptr, EM_FALSE, onWheel);
}

// Frames that show nothing follow each other for this long within one turn of
// the browser's loop: well under a display frame, so the page keeps answering
// and its progress bar moves while the show catches up to a late start.
constexpr double kUnseenTurnsMs = 10;

void runTurn(void*)
{
    const double until = emscripten_get_now() + kUnseenTurnsMs;
    for (;;) {
        const int status = loopTurn();
        if (status >= 0)
            std::exit(status); // platform_web.js: stops this loop and ends the program
        if (status != kTurnUnseen || emscripten_get_now() >= until)
            return;
    }
}

} // namespace

int messageBox(const std::string& text, const std::string& title, unsigned flags)
{
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), text.c_str());
    // The page cannot wait for an answer: the box stays on the page while the
    // program goes on (every box but the full-screen question ends the show).
    EM_ASM({
        if (Module.zurMessageBox) Module.zurMessageBox(UTF8ToString($0), UTF8ToString($1));
    }, title.c_str(), text.c_str());
    return (flags & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

bool registerWindowClass()
{
    listen();
    return true;
}

bool unregisterWindowClass() { return true; }

// The page asked the browser for full screen when Run was pressed (a request
// needs the person's click); the canvas keeps its render size and is scaled.
bool changeDisplayMode(int, int, int) { return true; }

void restoreDisplayMode()
{
    EM_ASM({
        if (document.fullscreenElement) document.exitFullscreen().catch(function() {});
    });
}

void* createWindow(const std::string& title, int, int, int width, int height, bool, const PixelFormat&)
{
    if (emscripten_set_canvas_element_size(kCanvas, width, height) != EMSCRIPTEN_RESULT_SUCCESS)
        return nullptr;
    setWindowText(&canvasToken, title);
    return &canvasToken;
}

bool destroyWindow(void* window) { return window != nullptr; }

void* getDeviceContext(void* window) { return window; }

bool releaseDeviceContext(void* window, void* deviceContext) { return window && window == deviceContext; }

int choosePixelFormat(void* deviceContext, const PixelFormat&) { return deviceContext ? 1 : 0; }

bool setPixelFormat(void* deviceContext, int format) { return deviceContext && format > 0; }

void* createContext(void* deviceContext)
{
    if (!deviceContext)
        return nullptr;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // No alpha in the page's picture: the show's clear alpha of 0.5 must not let
    // the page show through. Antialiasing is the show's own (multisampled targets).
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    attributes.failIfMajorPerformanceCaveat = EM_FALSE;
    attributes.enableExtensionsByDefault = EM_TRUE;
    context = emscripten_webgl_create_context(kCanvas, &attributes);
    if (context <= 0) {
        context = 0;
        return nullptr;
    }
    return reinterpret_cast<void*>(static_cast<intptr_t>(context));
}

bool makeCurrent(void*, void* ctx)
{
    const auto handle = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(ctx));
    return emscripten_webgl_make_context_current(handle) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool deleteContext(void* ctx)
{
    if (!ctx)
        return false;
    // The context goes with the page; deleting it would blank the last picture
    // (the closing fade's black) under the overlay that shows the exit status.
    return true;
}

void showWindow(void*)
{
    EM_ASM({
        if (Module.zurShowCanvas) Module.zurShowCanvas();
    });
}

// The browser shows what was drawn once the turn returns to it.
bool swapBuffers(void* deviceContext) { return deviceContext != nullptr; }

void setSwapInterval(int interval) { swapInterval = interval; }

void setWindowText(void*, const std::string& text)
{
    EM_ASM({ document.title = UTF8ToString($0).trim(); }, text.c_str());
}

void showCursor(bool visible)
{
    EM_ASM({
        var canvas = document.getElementById('canvas');
        if (canvas && $0) canvas.style.removeProperty('cursor');
        else if (canvas) canvas.style.cursor = 'none';
    }, visible ? 1 : 0);
}

// The display's modes: the usual 16:9 sizes that fit the screen in device
// pixels, then the screen's own size; the dialog's filter applies as elsewhere.
bool enumDisplayMode(int index, int& width, int& height)
{
    static const int kWidths[] = {640, 854, 960, 1024, 1152, 1280, 1366, 1600, 1920, 2048};
    const int screenWidth = EM_ASM_INT({ return Math.round(screen.width * (window.devicePixelRatio || 1)); });
    const int screenHeight = EM_ASM_INT({ return Math.round(screen.height * (window.devicePixelRatio || 1)); });
    int listed = 0;
    for (int w : kWidths) {
        const int h = w * 9 / 16;
        if (w > screenWidth || h > screenHeight)
            continue;
        if (listed++ == index) {
            width = w;
            height = h;
            return true;
        }
    }
    if (listed == index && screenWidth > 0 && screenHeight > 0) {
        width = screenWidth;
        height = screenHeight;
        return true;
    }
    return false;
}

void setWindowProcedure(WindowProcedure procedure) { messages.windowProcedure = procedure; }

bool peekMessage(Message& out) { return messages.take(out); }

void postQuitMessage(int code) { push(kMsgQuit, static_cast<uint64_t>(code)); }

void postMessage(const Message& message) { messages.post(message); }

int runLoop(int (*turn)())
{
    loopTurn = turn;
    // With fixed steps nothing waits for the display: turns follow each other
    // as fast as the page allows, still yielding to the browser between them so
    // its events and the page stay alive.
    if (swapInterval == 0) {
        // The first turn comes from a timer, not an animation frame: a page that
        // is not shown (a background tab, a test's) gets no animation frames.
        emscripten_set_main_loop_arg(runTurn, nullptr, 1000, EM_FALSE);
        emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
    } else {
        emscripten_set_main_loop_arg(runTurn, nullptr, 0, EM_FALSE);
        emscripten_set_main_loop_timing(EM_TIMING_RAF, swapInterval);
    }
    emscripten_exit_with_live_runtime();
    return 0; // not reached
}

void showStartProgress(double done)
{
    EM_ASM({
        if (Module.zurStartProgress) Module.zurStartProgress($0);
    }, done);
}

void getCursorPos(double& x, double& y)
{
    x = cursorX;
    y = cursorY;
}

uint64_t counter() { return static_cast<uint64_t>(emscripten_get_now() * 1000.0); }

uint64_t counterFrequency() { return 1000000; }

bool setClipboardText(const std::string& text)
{
    // Asynchronous, and refused without a recent click: the text also goes to the
    // console (the frame driver prints it), so a refusal loses nothing.
    return EM_ASM_INT({
        if (!navigator.clipboard || !navigator.clipboard.writeText) return 0;
        navigator.clipboard.writeText(UTF8ToString($0)).catch(function() {});
        return 1;
    }, text.c_str()) != 0;
}

std::string getClipboardText() { return std::string(); }

// The page's files lie in the program's working folder (/show), which the page
// sets up; there is no program file to look beside.
std::string programFolder() { return std::string(); }

void openConsole() {}

} // namespace platform
