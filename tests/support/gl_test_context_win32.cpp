// Hidden-window GL context for rendering tests, through WGL.
#include <windows.h>

#include "tests/support/gl_test_context.h"

#include "gl/gl_api.h"

namespace {

constexpr const char* kTestWindowClass = "ZurGlTest";

} // namespace

GlTestContext::GlTestContext(int width, int height)
{
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kTestWindowClass;
    RegisterClassA(&windowClass); // fails harmlessly when a former context registered it
    HWND hwnd = CreateWindowExA(0, kTestWindowClass, "gl test", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    if (!hwnd) {
        reason = "window: error " + std::to_string(GetLastError());
        return;
    }
    window = hwnd;
    HDC dc = GetDC(hwnd);
    device = dc;
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cAlphaBits = 8;
    pfd.cDepthBits = 24;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &pfd);
    if (format == 0 || !SetPixelFormat(dc, format, &pfd)) {
        reason = "pixel format: error " + std::to_string(GetLastError());
        return;
    }
    HGLRC glContext = wglCreateContext(dc);
    if (!glContext) {
        reason = "GL context: error " + std::to_string(GetLastError());
        return;
    }
    context = glContext;
    if (!wglMakeCurrent(dc, glContext)) {
        reason = "make current: error " + std::to_string(GetLastError());
        return;
    }
    takeCurrentContext();
}

GlTestContext::~GlTestContext()
{
    if (context != nullptr) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(static_cast<HGLRC>(context));
    }
    if (window != nullptr) {
        ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(device));
        DestroyWindow(static_cast<HWND>(window));
    }
}
