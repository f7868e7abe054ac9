// SDL2 backend of the platform layer. SDL events become the window messages the
// portable window procedure understands (virtual-key codes, 120 wheel units per
// notch, activation on minimise and restore). The only file that includes SDL
// apart from the sound output and the tests' GL helper.
#include "platform/platform.h"
#include "platform/clipboard_keeper.h"
#include "platform/message_box_answer.h"
#include "platform/message_queue.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace platform {

namespace {

MessageQueue messages;
SDL_DisplayMode requestedMode{};
bool haveRequestedMode = false;
bool videoStartedHere = false;

bool ensureVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return false;
    videoStartedHere = true;
    return true;
}

// SDL key codes to Windows virtual-key codes; 0 for keys the show has no use for.
int virtualKeyFor(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 0x70 + (key - SDLK_F1);
    switch (key) {
    case SDLK_ESCAPE: return 0x1B;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN: return 0x0D;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return 0x12;
    default: return 0;
    }
}

// Keys whose SDL code is the character they type (letters, digits, blank, and
// the control characters of Return, Backspace, Tab and Escape).
bool characterKey(SDL_Keycode key)
{
    return (key >= SDLK_a && key <= SDLK_z) || (key >= SDLK_0 && key <= SDLK_9) || key == SDLK_SPACE ||
           key == SDLK_RETURN || key == SDLK_BACKSPACE || key == SDLK_TAB || key == SDLK_ESCAPE;
}

void push(uint32_t id, uint64_t wParam = 0, int64_t lParam = 0) { messages.post(id, wParam, lParam); }

void translate(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int vk = virtualKeyFor(event.key.keysym.sym);
        if (vk != 0)
            push(event.type == SDL_KEYDOWN ? kMsgKeyDown : kMsgKeyUp, static_cast<uint64_t>(vk));
        // A key that types a character also sends one, again with every
        // repeat, as a translated Win32 key-down does; a held key then moves
        // what the window procedure's common tail moves.
        if (event.type == SDL_KEYDOWN && characterKey(event.key.keysym.sym))
            push(kMsgChar, static_cast<uint64_t>(event.key.keysym.sym));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        bool down = event.type == SDL_MOUSEBUTTONDOWN;
        int64_t where = makeLParam(event.button.x, event.button.y);
        if (event.button.button == SDL_BUTTON_LEFT)
            push(down ? kMsgLButtonDown : kMsgLButtonUp, 0, where);
        else if (event.button.button == SDL_BUTTON_RIGHT)
            push(down ? kMsgRButtonDown : kMsgRButtonUp, 0, where);
        else if (event.button.button == SDL_BUTTON_MIDDLE && down)
            push(kMsgMButtonDown, 0, where);
        break;
    }
    case SDL_MOUSEMOTION:
        push(kMsgMouseMove, 0, makeLParam(event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEWHEEL: {
        // 120 units per notch; SDL's precise value keeps fractional notches of
        // smooth-scrolling devices.
        float notches = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        int delta = static_cast<int>(std::lround(notches * 120.0f));
        delta = std::clamp(delta, -32768, 32767);
        push(kMsgMouseWheel, static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16);
        break;
    }
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
            push(kMsgActivate, (1ull << 16) | 0); // minimised, inactive
            break;
        case SDL_WINDOWEVENT_RESTORED:
            push(kMsgActivate, 1); // active, not minimised
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            push(kMsgSize, 0, makeLParam(event.window.data1, event.window.data2));
            break;
        case SDL_WINDOWEVENT_CLOSE:
            push(kMsgClose);
            break;
        default:
            break;
        }
        break;
    case SDL_QUIT:
        push(kMsgClose);
        break;
    default:
        break;
    }
}

} // namespace

int messageBox(const std::string& text, const std::string& title, unsigned flags)
{
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), text.c_str());
    bool yesNo = (flags & 0xF) == kMbYesNo;
    if (int answer = 0; presetMessageBoxAnswer(flags, answer))
        return answer;
    Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
    if ((flags & 0xF0) == kMbIconStop)
        kind = SDL_MESSAGEBOX_ERROR;
    else if ((flags & 0xF0) == kMbIconExclamation)
        kind = SDL_MESSAGEBOX_WARNING;
    SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kIdOk, "OK"}};
    SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kIdNo, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kIdYes, "Yes"}};
    SDL_MessageBoxData box{};
    box.flags = kind;
    box.window = nullptr;
    box.title = title.c_str();
    box.message = text.c_str();
    box.numbuttons = yesNo ? 2 : 1;
    box.buttons = yesNo ? yesNoButtons : okButton;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0 || pressed < 0)
        return yesNo ? kIdNo : kIdOk;
    return pressed;
}

bool registerWindowClass()
{
    if (!ensureVideo())
        return false;
    // Screen saver and monitor power-down stay off while the show runs.
    SDL_DisableScreenSaver();
    return true;
}

bool unregisterWindowClass()
{
    if (videoStartedHere) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        videoStartedHere = false;
    }
    return true;
}

bool changeDisplayMode(int width, int height, int bits)
{
    if (!ensureVideo())
        return false;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0)
            continue;
        if (mode.w == width && mode.h == height &&
            (bits <= 0 || static_cast<int>(SDL_BITSPERPIXEL(mode.format)) >= std::min(bits, 24))) {
            requestedMode = mode;
            haveRequestedMode = true;
            return true;
        }
    }
    return false;
}

void restoreDisplayMode() { haveRequestedMode = false; }

void* createWindow(const std::string& title, int x, int y, int width, int height, bool fullscreen,
                   const PixelFormat& format)
{
    if (!ensureVideo())
        return nullptr;
    // SDL fixes the framebuffer format before the window exists, so the pixel
    // format request is made here; choosePixelFormat then only confirms it.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.doubleBuffer ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN;
    SDL_Window* window = SDL_CreateWindow(title.c_str(), x, y, width, height, flags);
    if (window && fullscreen && haveRequestedMode)
        SDL_SetWindowDisplayMode(window, &requestedMode);
    return window;
}

bool destroyWindow(void* window)
{
    if (!window)
        return false;
    SDL_DestroyWindow(static_cast<SDL_Window*>(window));
    return true;
}

void* getDeviceContext(void* window) { return window; }

bool releaseDeviceContext(void* window, void* deviceContext) { return window && window == deviceContext; }

int choosePixelFormat(void* deviceContext, const PixelFormat&)
{
    if (!deviceContext)
        return 0;
    return (SDL_GetWindowFlags(static_cast<SDL_Window*>(deviceContext)) & SDL_WINDOW_OPENGL) ? 1 : 0;
}

bool setPixelFormat(void* deviceContext, int format) { return deviceContext && format > 0; }

void* createContext(void* deviceContext)
{
    if (!deviceContext)
        return nullptr;
    return SDL_GL_CreateContext(static_cast<SDL_Window*>(deviceContext));
}

bool makeCurrent(void* deviceContext, void* context)
{
    return SDL_GL_MakeCurrent(static_cast<SDL_Window*>(deviceContext), static_cast<SDL_GLContext>(context)) == 0;
}

bool deleteContext(void* context)
{
    if (!context)
        return false;
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
    return true;
}

void showWindow(void* window)
{
    SDL_Window* w = static_cast<SDL_Window*>(window);
    SDL_ShowWindow(w);
    SDL_RaiseWindow(w);
}

bool swapBuffers(void* deviceContext)
{
    if (!deviceContext)
        return false;
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(deviceContext));
    return true;
}

void setSwapInterval(int interval) { SDL_GL_SetSwapInterval(interval); }

void setWindowText(void* window, const std::string& text)
{
    if (window)
        SDL_SetWindowTitle(static_cast<SDL_Window*>(window), text.c_str());
}

void showCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

bool enumDisplayMode(int index, int& width, int& height)
{
    if (!ensureVideo())
        return false;
    SDL_DisplayMode mode;
    if (index < 0 || index >= SDL_GetNumDisplayModes(0) || SDL_GetDisplayMode(0, index, &mode) != 0)
        return false;
    width = mode.w;
    height = mode.h;
    return true;
}

void setWindowProcedure(WindowProcedure procedure) { messages.windowProcedure = procedure; }

bool peekMessage(Message& out)
{
    if (messages.empty() && SDL_WasInit(SDL_INIT_EVENTS)) {
        SDL_Event event;
        while (messages.empty() && SDL_PollEvent(&event))
            translate(event);
    }
    return messages.take(out);
}

void postQuitMessage(int code) { push(kMsgQuit, static_cast<uint64_t>(code)); }

void postMessage(const Message& message) { messages.post(message); }

int runLoop(int (*turn)())
{
    for (;;)
        if (const int status = turn(); status >= 0)
            return status;
}

void showStartProgress(double) {}

void getCursorPos(double& x, double& y)
{
    int ix = 0, iy = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_GetGlobalMouseState(&ix, &iy);
    x = ix;
    y = iy;
}

uint64_t counter() { return SDL_GetPerformanceCounter(); }

uint64_t counterFrequency() { return SDL_GetPerformanceFrequency(); }

bool setClipboardText(const std::string& text)
{
    if (!ensureVideo())
        return false;
    // The X selection dies with its owner: a keeper that outlives us takes it.
    return keepClipboardText(text) || SDL_SetClipboardText(text.c_str()) == 0;
}

std::string getClipboardText()
{
    if (!ensureVideo() || !SDL_HasClipboardText())
        return std::string();
    char* text = SDL_GetClipboardText();
    std::string result = text ? text : "";
    SDL_free(text);
    return result;
}

std::string programFolder()
{
    char* base = SDL_GetBasePath();
    if (!base)
        return {};
    std::string folder = base;
    SDL_free(base);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

void openConsole()
{
    // A terminal is already attached on this platform: make the standard streams
    // unbuffered so shader logs and progress marks appear as they happen.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    std::ios::sync_with_stdio(true);
}

} // namespace platform
