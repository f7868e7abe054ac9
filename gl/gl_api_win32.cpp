// The WGL loader: wglGetProcAddress answers for everything past GL 1.1 and gives
// NULL (or, with some drivers, a small bogus value) for names opengl32 exports
// itself, so those are taken from opengl32 directly.
#include <windows.h>

#include "gl/gl_api.h"

#define ZUR_GL_DEFINE_ENTRY_POINT(type, name) type name = nullptr;
ZUR_GL_ENTRY_POINTS(ZUR_GL_DEFINE_ENTRY_POINT)
#undef ZUR_GL_DEFINE_ENTRY_POINT

namespace {

// As an untyped pointer: each caller casts it to the entry point's own type.
void* entryPoint(const char* name)
{
    PROC proc = wglGetProcAddress(name);
    const auto value = reinterpret_cast<intptr_t>(proc);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) {
        static HMODULE opengl32 = LoadLibraryA("opengl32.dll");
        proc = opengl32 ? GetProcAddress(opengl32, name) : nullptr;
    }
    return reinterpret_cast<void*>(proc);
}

} // namespace

bool loadGlEntryPoints()
{
#define ZUR_GL_LOAD_ENTRY_POINT(type, name) name = reinterpret_cast<type>(entryPoint(#name));
    ZUR_GL_ENTRY_POINTS(ZUR_GL_LOAD_ENTRY_POINT)
#undef ZUR_GL_LOAD_ENTRY_POINT
    return glGetString(GL_VERSION) != nullptr && glGenFramebuffers != nullptr && glBindFramebufferEXT != nullptr &&
           glRenderbufferStorageMultisampleEXT != nullptr && glBlitFramebufferEXT != nullptr &&
           glCreateShader != nullptr && glActiveTexture != nullptr && glDrawBuffers != nullptr;
}
