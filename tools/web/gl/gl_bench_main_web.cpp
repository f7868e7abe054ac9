// The benchmark in the browser: the frame through the layer, then the peer (the
// same expanded triangles computed in the same way, one upload and one draw a
// frame), timed over the same frames; prints the ratio.
#include "gl/gl_api.h"
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <initializer_list>

#include "tools/web/gl/gl_bench.h"

void setUpPeer();
void drawPeerFrame(int frame, int size);
// Without draw: only the peer's expansion of the strips, on the CPU.
void drawPeerFrame(int frame, int size, bool draw);

int main()
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.antialias = false;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS ||
        !loadGlEntryPoints()) {
        EM_ASM({ window.zwError = 'no usable WebGL 2 context'; });
        return 1;
    }
    setUpPeer();
    const int frames = 20;
    for (const int size : {kBenchSize, 64}) {
        double layer = 0, peer = 0, expansion = 0;
        // Interleaved, so both see the same browser and machine conditions.
        for (int f = -2; f < frames; ++f) {
            const double t0 = emscripten_get_now();
            drawBenchFrame(f, size);
            const double t1 = emscripten_get_now();
            drawPeerFrame(f, size);
            const double t2 = emscripten_get_now();
            drawPeerFrame(f, size, false);
            const double t3 = emscripten_get_now();
            if (f >= 0)
                layer += t1 - t0, peer += t2 - t1, expansion += t3 - t2;
        }
        std::printf("%d px: layer %.2f ms/frame, peer %.2f ms/frame, ratio %.2f; the peer's expansion alone %.2f ms "
                    "(%d strips of %d vertices)\n",
                    size, layer / frames, peer / frames, layer / peer, expansion / frames, kBenchStrips,
                    kBenchStripVertices);
    }
    EM_ASM({ window.zwDone = true; });
    return 0;
}
