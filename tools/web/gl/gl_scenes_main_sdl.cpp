// The check scenes on the desktop GL of Mesa: writes every scene's RGBA bytes, one
// after the other, to the file named on the command line.
#include "gl/gl_api.h"
#include <SDL.h>

#include <cstdio>

#include "tools/web/gl/gl_scenes.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gl_scenes OUTPUT.rgba\n");
        return 2;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_Window* window = SDL_CreateWindow("gl scenes", 0, 0, kSceneSize, kSceneSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr || SDL_GL_MakeCurrent(window, context) != 0 || !loadGlEntryPoints() || !setUpScenes()) {
        std::fprintf(stderr, "no usable GL context: %s\n", SDL_GetError());
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    for (int i = 0; i < sceneCount(); ++i) {
        const std::vector<uint8_t> rgba = drawScene(i);
        std::fwrite(rgba.data(), 1, rgba.size(), out);
    }
    const GLenum error = glGetError();
    std::fclose(out);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    if (error != GL_NO_ERROR)
        std::fprintf(stderr, "GL error 0x%x\n", error);
    return error == GL_NO_ERROR ? 0 : 1;
}
