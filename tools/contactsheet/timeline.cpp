// showtimeline SHOWDIR [FPS]: plays the scene's stroke pass over the whole show
// with a fixed frame step (no drawing) and reports, second by second, how long the
// joined pencil path is, where the reveal window stands on it, whether the pencil
// moves and whether the drawn points fall inside the camera's view. It answers
// "do the meshes' stroke budgets fit the choreography?". Needs an X display
// (xvfb-run) for the GL matrix stack that the stroke pass uses.
#include "scene/part_start.h"

#include <SDL.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

const struct {
    int slot;
    const char* file;
    float widthA;
    bool reverse;
} kSlots[] = {
    {8, "newobjects/birdgood2.obj", 1.0f, false},  {7, "newobjects/woman.obj", 1.0f, false},
    {9, "newobjects/end.obj", 1.0f, false},        {10, "newobjects/torus.obj", 1.0f, false},
    {11, "newobjects/skeletonhand2.obj", 1.0f, false}, {13, "newobjects/vellum.obj", 1.0f, false},
    {12, "newobjects/objectscougar.obj", 1.0f, false}, {4, "newobjects/baseshape.obj", 1.5f, false},
    {5, "newobjects/baseshape2.obj", 1.0f, false}, {2, "newobjects/title.obj", 1.2f, false},
    {17, "newobjects/solid1.obj", 1.5f, false},    {6, "newobjects/holder2.obj", 1.5f, true},
    {15, "newobjects/ant_Podi1.obj", 1.0f, false}, {16, "newobjects/ant_Podi2.obj", 1.0f, false},
    {14, "newobjects/ant_Kormos.obj", 1.0f, false}, {1, "newobjects/face.obj", 1.0f, false},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: showtimeline SHOWDIR [FPS]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const double fps = argc > 2 ? std::atof(argv[2]) : 60.0;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "showtimeline: SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("timeline", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext gl = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!gl) {
        std::fprintf(stderr, "showtimeline: no GL context: %s\n", SDL_GetError());
        return 1;
    }

    part_start* scene = new part_start();
    for (const auto& s : kSlots) {
        PolyMesh& m = scene->meshSlots[s.slot];
        m.loadPolygons((dir + "/" + s.file).c_str());
        if (s.reverse)
            m.reversePolygons();
        m.widthA = s.widthA;
    }
    scene->revealStart = -9000.0;
    scene->revealEnd = 0.0;
    scene->sceneTime = 0.0;

    Vec3 penFocus = makeVec3(0, 0, 0), last = makeVec3(0, 0, 0);
    const double showEnd = 247.5;
    int second = -1;
    long framesEmpty = 0, framesStill = 0, framesPenOut = 0, frames = 0;
    double sumInside = 0;
    size_t maxPoints = 0;
    std::printf("  show  scene  points  calls   start     end  drawn  penCall  moving  inView  pen(x,y)  cam(x,y,d)\n");
    for (double show = 0; show < showEnd; show += 1.0 / fps) {
        double t = scene->sceneTime;
        double d = 1.0 / fps;
        if (t < 155)
            d *= 1.1;
        d *= sceneSpeed(t);
        scene->scaledStep = d;
        scene->sceneTime = t + d;
        t = scene->sceneTime;

        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        scene->strokes.clear();
        scene->strokePass();
        std::vector<Vec3> joined;
        std::vector<size_t> callEnd;
        for (const PathSpline& p : scene->strokes) {
            joined.insert(joined.end(), p.points.begin(), p.points.begin() + p.count);
            callEnd.push_back(joined.size());
        }
        const long n = static_cast<long>(joined.size());
        long lo = std::min(static_cast<long>(scene->revealStart), n - 1);
        if (lo <= 30)
            lo = 30;
        long hi = std::min(static_cast<long>(scene->revealEnd), n - 1);
        if (hi <= 30)
            hi = 30;
        const long drawn = std::max(0L, hi - (lo + 10));
        Vec3 M = makeVec3(0, 0, 0);
        if (drawn > 0)
            M = scale(joined[hi - 1], 3.0f);
        M.z = 0;

        // The camera as the frame builds it (without the hand-held nudge).
        penFocus = add(penFocus, scale(sub(M, penFocus), 0.01f));
        if (t > 220 && t < 238)
            penFocus = add(penFocus, scale(sub(M, penFocus), 0.08f));
        double g = -2.7 * ease((t - 234) * 0.2);
        double cx = penFocus.x + g, cy = penFocus.y;
        double f1 = static_cast<float>(ease((t - 171) * 0.5) - ease((t - 206) * 0.5));
        cx += (7.5 - cx) * f1;
        cy += (6.7 - cy) * f1;
        double f2 = static_cast<float>(ease((t - 250) * 0.19));
        cx += (-20.5 - cx) * f2;
        cy += (-4.0 - cy) * f2;
        cy += 0.1;
        const double dist = 5 * cameraDistanceCurve(t) + 5;
        const double halfH = dist * std::tan(27.5 * M_PI / 180), halfW = halfH * 16.0 / 9.0;
        long inside = 0;
        for (long i = lo + 10; i < hi; ++i) {
            double x = 3 * joined[i].x, y = 3 * joined[i].y;
            inside += std::fabs(x - cx) < halfW && std::fabs(y - cy) < halfH;
        }
        const bool penIn = std::fabs(M.x - cx) < halfW && std::fabs(M.y - cy) < halfH;
        const double moved = length(sub(M, last));
        const bool moving = !(moved < d / (1.0 / 60) * 0.0185);
        last = M;
        int penCall = -1;
        for (size_t c = 0; c < callEnd.size(); ++c)
            if (hi - 1 < static_cast<long>(callEnd[c])) {
                penCall = static_cast<int>(c);
                break;
            }

        // The size of every drawing call at a few telling moments.
        static const double kProbe[] = {30, 40, 60, 66, 80, 92.5, 120, 150, 160, 175, 190, 205, 215, 225, 231, 236, 240, 246, 256};
        static size_t probe = 0;
        if (probe < sizeof kProbe / sizeof kProbe[0] && t >= kProbe[probe]) {
            ++probe;
            std::printf("calls at %.1f:", t);
            size_t prev = 0;
            for (size_t c = 0; c < callEnd.size(); ++c) {
                std::printf(" %zu", callEnd[c] - prev);
                prev = callEnd[c];
            }
            std::printf("\n");
        }
        ++frames;
        framesEmpty += drawn == 0;
        framesStill += !moving;
        framesPenOut += drawn > 0 && !penIn;
        sumInside += drawn > 0 ? double(inside) / drawn : 0;
        maxPoints = std::max(maxPoints, joined.size());
        if (static_cast<int>(show) != second) {
            second = static_cast<int>(show);
            if (second % 2 == 0)
                std::printf("%6.1f %6.1f %7ld %6zu %7.0f %7.0f %6ld %8d %7s %6.0f%% %5.1f,%5.1f %5.1f,%5.1f,%4.1f\n", show, t,
                            n, callEnd.size(), scene->revealStart, scene->revealEnd, drawn, penCall,
                            moving ? "yes" : "no", drawn > 0 ? 100.0 * inside / drawn : 0.0, M.x, M.y, cx, cy, dist);
        }
    }
    std::printf("frames %ld: nothing drawn %ld, pencil still %ld, pencil outside the view %ld, "
                "drawn points inside the view %.0f%% on average, longest joined path %zu points\n",
                frames, framesEmpty, framesStill, framesPenOut, 100.0 * sumInside / frames, maxPoints);
    delete scene;
    SDL_GL_DeleteContext(gl);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
