// The check scenes on the web GL layer: draws them on a WebGL 2 context of the
// page's canvas and leaves every scene's RGBA bytes in window.zwScenes.
#include "gl/gl_api.h"
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>

#include "tools/web/gl/gl_scenes.h"

int main()
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.antialias = false;
    attributes.depth = true;
    attributes.alpha = true;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS ||
        !loadGlEntryPoints() || !setUpScenes()) {
        EM_ASM({ window.zwError = 'no usable WebGL 2 context'; });
        return 1;
    }
    EM_ASM({ window.zwScenes = []; });
    for (int i = 0; i < sceneCount(); ++i) {
        const std::vector<uint8_t> rgba = drawScene(i);
        EM_ASM({ window.zwScenes.push(HEAPU8.slice($0, $0 + $1)); }, rgba.data(), rgba.size());
    }
    const GLenum error = glGetError();
    EM_ASM({ window.zwGlError = $0; window.zwDone = true; }, error);
    return 0;
}
