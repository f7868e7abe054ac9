// Win32 backend of the platform layer: the window class "OpenGL", the window and
// its WGL context, the real window messages (the window procedure below hands
// each one to the program's procedure and falls back to DefWindowProcA), message
// boxes, display modes, the performance counter, the clipboard as CF_TEXT and the
// developer console.
#include <windows.h>

#include "platform/platform.h"
#include "platform/message_box_answer.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace platform {

namespace {

constexpr const char* kWindowClass = "OpenGL";

WindowProcedure windowProcedure = nullptr;
HINSTANCE instance = nullptr;
HWND showWindowHandle = nullptr; // the show's window, for messages posted to it
PIXELFORMATDESCRIPTOR chosenFormat{};
bool consoleOpen = false;

LRESULT CALLBACK showWindowProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam)
{
    if (windowProcedure) {
        const Message message{id, static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam)};
        if (windowProcedure(message))
            return 0;
    }
    return DefWindowProcA(window, id, wParam, lParam);
}

// A standard stream that already leads somewhere: a console, a file or a pipe
// (started from a terminal, or with the streams redirected).
bool streamConnected(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

int messageBox(const std::string& text, const std::string& title, unsigned flags)
{
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    const bool yesNo = (flags & 0xF) == kMbYesNo;
    if (int answer = 0; presetMessageBoxAnswer(flags, answer))
        return answer;
    const int pressed = MessageBoxA(nullptr, text.c_str(), title.c_str(), flags);
    // Escape or the close box give IDCANCEL even in a Yes/No box: that is a No.
    if (yesNo)
        return pressed == IDYES ? kIdYes : kIdNo;
    return kIdOk;
}

bool registerWindowClass()
{
    instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = showWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WINLOGO));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

bool unregisterWindowClass()
{
    const bool done = UnregisterClassA(kWindowClass, instance) != 0;
    instance = nullptr;
    return done;
}

bool changeDisplayMode(int width, int height, int bits)
{
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void restoreDisplayMode() { ChangeDisplaySettingsA(nullptr, 0); }

void* createWindow(const std::string& title, int x, int y, int width, int height, bool fullscreen,
                   const PixelFormat&)
{
    const DWORD exStyle = WS_EX_APPWINDOW;
    const DWORD style = fullscreen ? WS_POPUP : WS_SYSMENU;
    // A window that is neither pop-up nor child always gets a caption; the frame
    // is measured with it, or the client area would come out a caption's height
    // short of the picture.
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, fullscreen ? style : style | WS_CAPTION, FALSE, exStyle);
    HWND window = CreateWindowExA(exStyle, kWindowClass, title.c_str(), style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x,
                                  y, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                  nullptr);
    if (window)
        showWindowHandle = window;
    return window;
}

bool destroyWindow(void* window)
{
    if (!window)
        return false;
    if (window == showWindowHandle)
        showWindowHandle = nullptr;
    return DestroyWindow(static_cast<HWND>(window)) != 0;
}

void* getDeviceContext(void* window) { return window ? GetDC(static_cast<HWND>(window)) : nullptr; }

bool releaseDeviceContext(void* window, void* deviceContext)
{
    return ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(deviceContext)) == 1;
}

int choosePixelFormat(void* deviceContext, const PixelFormat& format)
{
    PIXELFORMATDESCRIPTOR& pfd = chosenFormat;
    std::memset(&pfd, 0, sizeof(pfd));
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (format.doubleBuffer ? PFD_DOUBLEBUFFER : 0);
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = static_cast<BYTE>(format.colourBits);
    pfd.cAlphaBits = static_cast<BYTE>(format.alphaBits);
    pfd.cDepthBits = static_cast<BYTE>(format.depthBits);
    pfd.iLayerType = PFD_MAIN_PLANE;
    return deviceContext ? ChoosePixelFormat(static_cast<HDC>(deviceContext), &pfd) : 0;
}

bool setPixelFormat(void* deviceContext, int format)
{
    return deviceContext && SetPixelFormat(static_cast<HDC>(deviceContext), format, &chosenFormat) != 0;
}

void* createContext(void* deviceContext)
{
    return deviceContext ? wglCreateContext(static_cast<HDC>(deviceContext)) : nullptr;
}

bool makeCurrent(void* deviceContext, void* context)
{
    return wglMakeCurrent(static_cast<HDC>(deviceContext), static_cast<HGLRC>(context)) != 0;
}

bool deleteContext(void* context) { return context && wglDeleteContext(static_cast<HGLRC>(context)) != 0; }

void showWindow(void* window)
{
    HWND w = static_cast<HWND>(window);
    ShowWindow(w, SW_SHOW);
    SetForegroundWindow(w);
    SetFocus(w);
}

bool swapBuffers(void* deviceContext) { return deviceContext && SwapBuffers(static_cast<HDC>(deviceContext)) != 0; }

void setSwapInterval(int interval)
{
    using SwapIntervalProc = BOOL(WINAPI*)(int);
    auto swapInterval =
        reinterpret_cast<SwapIntervalProc>(reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (swapInterval)
        swapInterval(interval);
}

void setWindowText(void* window, const std::string& text)
{
    if (window)
        SetWindowTextA(static_cast<HWND>(window), text.c_str());
}

void showCursor(bool visible) { ShowCursor(visible ? TRUE : FALSE); }

bool enumDisplayMode(int index, int& width, int& height)
{
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    if (index < 0 || !EnumDisplaySettingsA(nullptr, static_cast<DWORD>(index), &mode))
        return false;
    width = static_cast<int>(mode.dmPelsWidth);
    height = static_cast<int>(mode.dmPelsHeight);
    return true;
}

void setWindowProcedure(WindowProcedure procedure) { windowProcedure = procedure; }

bool peekMessage(Message& out)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    out = Message{msg.message, static_cast<uint64_t>(msg.wParam), static_cast<int64_t>(msg.lParam)};
    if (msg.message == WM_QUIT)
        return true;
    if (msg.hwnd) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    } else if (windowProcedure) {
        windowProcedure(out); // posted before the window existed
    }
    return true;
}

void postQuitMessage(int code) { PostQuitMessage(code); }

void postMessage(const Message& message)
{
    const WPARAM wParam = static_cast<WPARAM>(message.wParam);
    const LPARAM lParam = static_cast<LPARAM>(message.lParam);
    if (message.id == kMsgQuit)
        PostQuitMessage(static_cast<int>(wParam));
    else if (showWindowHandle)
        PostMessageA(showWindowHandle, message.id, wParam, lParam);
    else
        PostThreadMessageA(GetCurrentThreadId(), message.id, wParam, lParam);
}

int runLoop(int (*turn)())
{
    for (;;)
        if (const int status = turn(); status >= 0)
            return status;
}

void showStartProgress(double) {}

void getCursorPos(double& x, double& y)
{
    POINT point{0, 0};
    GetCursorPos(&point);
    x = point.x;
    y = point.y;
}

uint64_t counter()
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return static_cast<uint64_t>(value.QuadPart);
}

uint64_t counterFrequency()
{
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return static_cast<uint64_t>(value.QuadPart);
}

bool setClipboardText(const std::string& text)
{
    // The clipboard takes a movable global block and owns it once set; it stays
    // after the program ends.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!block)
        return false;
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    // Opened without a window, the emptied clipboard would have no owner and
    // refuse the text; without the show's window a message-only one stands in.
    HWND owner = showWindowHandle;
    HWND standIn = nullptr;
    if (!owner)
        owner = standIn = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool done = false;
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        done = SetClipboardData(CF_TEXT, block) != nullptr;
        CloseClipboard();
    }
    if (standIn)
        DestroyWindow(standIn);
    if (!done)
        GlobalFree(block);
    return done;
}

std::string getClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* chars = static_cast<const char*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::string programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0, nullptr, nullptr);
    std::string folder(size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, path.data(), int(path.size()), folder.data(), bytes, nullptr, nullptr);
    return folder;
}

void openConsole()
{
    if (consoleOpen)
        return;
    consoleOpen = true;
    // Streams that already lead somewhere (a terminal, a file, a pipe) are kept;
    // otherwise the console of the command prompt the show was started from, or
    // a console of its own, 1000 lines deep.
    if (!streamConnected(STD_OUTPUT_HANDLE) && !streamConnected(STD_ERROR_HANDLE)) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            AllocConsole();
            CONSOLE_SCREEN_BUFFER_INFO info;
            HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
            if (GetConsoleScreenBufferInfo(output, &info)) {
                COORD size = info.dwSize;
                size.Y = 1000;
                SetConsoleScreenBufferSize(output, size);
            }
        }
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
        std::freopen("CONIN$", "r", stdin);
    }
    // The program's text, file names included, is UTF-8.
    SetConsoleOutputCP(CP_UTF8);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::ios::sync_with_stdio(true);
}

} // namespace platform
