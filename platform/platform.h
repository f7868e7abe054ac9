// Thin wall around the operating system: window and GL context, events turned
// into window messages, message boxes, display modes, cursor, counter, clipboard,
// caption and console. One backend file per platform (platform_sdl.cpp,
// platform_win32.cpp, platform_web.cpp). The window procedure and message loop that consume the
// messages are portable.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Window messages, with the numeric values of the Win32 messages they stand for.
enum MessageId : uint32_t {
    kMsgSize = 0x0005,
    kMsgActivate = 0x0006,
    kMsgClose = 0x0010,
    kMsgQuit = 0x0012,
    kMsgKeyDown = 0x0100,
    kMsgKeyUp = 0x0101,
    kMsgChar = 0x0102, // a character typed, once more per key repeat
    kMsgSysCommand = 0x0112,
    kMsgMouseMove = 0x0200,
    kMsgLButtonDown = 0x0201,
    kMsgLButtonUp = 0x0202,
    kMsgRButtonDown = 0x0204,
    kMsgRButtonUp = 0x0205,
    kMsgMButtonDown = 0x0207,
    kMsgMouseWheel = 0x020A,
};

// System commands carried by kMsgSysCommand.
enum SysCommand : uint32_t { kScScreenSave = 0xF140, kScMonitorPower = 0xF170 };

// Windows virtual-key codes the show uses (letters and digits are their ASCII codes).
enum VirtualKey : int {
    kVkEscape = 0x1B,
    kVkUp = 0x26,
    kVkDown = 0x28,
    kVkF1 = 0x70,
};

struct Message {
    uint32_t id = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

inline int64_t makeLParam(int low, int high) { return static_cast<int64_t>((static_cast<uint32_t>(high & 0xFFFF) << 16) | (low & 0xFFFF)); }

// Message boxes: flags as Win32's MB_* values, results as IDOK / IDYES / IDNO.
enum MessageBoxFlags : unsigned {
    kMbOk = 0x0, kMbYesNo = 0x4,
    kMbIconStop = 0x10, kMbIconExclamation = 0x30, kMbIconInformation = 0x40,
};
enum MessageBoxResult : int { kIdOk = 1, kIdYes = 6, kIdNo = 7 };

// Shows a modal box without owner window and waits for the answer. The text also
// goes to standard error. With ZUR_MESSAGEBOX_ANSWER set (tests, unattended
// captures) no box is shown and the answer is "yes", "no" or OK as the value says.
int messageBox(const std::string& text, const std::string& title, unsigned flags);

// Requested framebuffer of the window.
struct PixelFormat {
    int colourBits = 32;
    int alphaBits = 1;
    int depthBits = 24;
    bool doubleBuffer = true;
};

// Window and context, in the order window creation uses them. Handles are opaque.
bool registerWindowClass();                              // video subsystem up
bool unregisterWindowClass();
bool changeDisplayMode(int width, int height, int bits); // full-screen switch
void restoreDisplayMode();
void* createWindow(const std::string& title, int x, int y, int width, int height, bool fullscreen,
                   const PixelFormat& format);
bool destroyWindow(void* window);
void* getDeviceContext(void* window);
bool releaseDeviceContext(void* window, void* deviceContext);
int choosePixelFormat(void* deviceContext, const PixelFormat& format); // 0 on failure
bool setPixelFormat(void* deviceContext, int format);
void* createContext(void* deviceContext);
bool makeCurrent(void* deviceContext, void* context);  // null context: release
bool deleteContext(void* context);
void showWindow(void* window);
bool swapBuffers(void* deviceContext);
void setSwapInterval(int interval); // 1: wait for the display, 0: do not
void setWindowText(void* window, const std::string& text);
void showCursor(bool visible);

// Display modes in the driver's order: false past the last one.
bool enumDisplayMode(int index, int& width, int& height);

// The program's window procedure. The platform hands it every message of the
// show's window, on the loop thread, from inside peekMessage. True: handled;
// false: the platform's default processing follows (what Win32's DefWindowProc
// does: closing on Alt+F4, the system menu, painting the frame).
using WindowProcedure = bool (*)(const Message& message);
void setWindowProcedure(WindowProcedure procedure);

// Events. peekMessage removes the next message (false when none is waiting); any
// but kMsgQuit has gone through the window procedure, when one is set, before it
// is returned. postQuitMessage queues kMsgQuit with the code in wParam.
bool peekMessage(Message& out);
void postQuitMessage(int code);
void postMessage(const Message& message); // also used by tests to inject input

// The message loop's driver. `turn` runs one loop turn and returns -1 (or
// kTurnUnseen) while the program goes on, else its exit status. Native backends
// call it in a plain loop and return that status. A browser page cannot block:
// its animation frames (or, with a swap interval of 0, turns as fast as the page
// allows) call it, the call never returns, and the status ends the process
// (std::exit). A turn whose frame drew nothing to see (the frames run before a
// late start) returns kTurnUnseen: the page runs the next one at once, within a
// time box well under a display frame, before it yields to the browser.
constexpr int kTurnUnseen = -2;
int runLoop(int (*turn)());

// How far the frames run before a late start have come, 0 to 1, and a negative
// value once they are done: a page shows it on its progress bar; elsewhere
// nothing shows it.
void showStartProgress(double done);

// Cursor position in screen pixels.
void getCursorPos(double& x, double& y);

// High-resolution counter.
uint64_t counter();
uint64_t counterFrequency();

bool setClipboardText(const std::string& text);
std::string getClipboardText();

// The folder the program's executable lies in (UTF-8, no trailing separator), or
// empty when the platform cannot tell.
std::string programFolder();

// Developer console: standard streams unbuffered and synchronised.
void openConsole();

} // namespace platform
