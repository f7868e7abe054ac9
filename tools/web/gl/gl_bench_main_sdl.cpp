// The benchmark frame on the desktop GL of Mesa, for the Linux side of the
// browser's numbers: the same frame, timed the same way.
#include "gl/gl_api.h"
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <initializer_list>

#include "tools/web/gl/gl_bench.h"

int main()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_Window* window = SDL_CreateWindow("gl bench", 0, 0, kBenchSize, kBenchSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr || SDL_GL_MakeCurrent(window, context) != 0 || !loadGlEntryPoints())
        return 1;
    const int frames = 20;
    for (const int size : {kBenchSize, 64}) {
        double total = 0;
        for (int f = -2; f < frames; ++f) {
            const auto t0 = std::chrono::steady_clock::now();
            drawBenchFrame(f, size);
            const auto t1 = std::chrono::steady_clock::now();
            if (f >= 0)
                total += std::chrono::duration<double, std::milli>(t1 - t0).count();
        }
        std::printf("%d px: Mesa %.2f ms/frame (%d strips of %d vertices)\n", size, total / frames, kBenchStrips,
                    kBenchStripVertices);
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
