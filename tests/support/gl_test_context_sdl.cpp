// Hidden-window GL context for rendering tests, through SDL2.
#include "tests/support/gl_test_context.h"

#include "gl/gl_api.h"
#include <SDL.h>

GlTestContext::GlTestContext(int width, int height)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        reason = std::string("SDL video: ") + SDL_GetError();
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* sdlWindow = SDL_CreateWindow("gl test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                             height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (sdlWindow == nullptr) {
        reason = std::string("window: ") + SDL_GetError();
        return;
    }
    window = sdlWindow;
    device = sdlWindow;
    SDL_GLContext glContext = SDL_GL_CreateContext(sdlWindow);
    if (glContext == nullptr) {
        reason = std::string("GL context: ") + SDL_GetError();
        return;
    }
    context = glContext;
    if (SDL_GL_MakeCurrent(sdlWindow, glContext) != 0) {
        reason = std::string("make current: ") + SDL_GetError();
        return;
    }
    takeCurrentContext();
}

GlTestContext::~GlTestContext()
{
    if (context != nullptr)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
    if (window != nullptr)
        SDL_DestroyWindow(static_cast<SDL_Window*>(window));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
