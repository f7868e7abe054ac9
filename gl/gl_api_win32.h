// GL on Windows: opengl32 exports GL 1.1 only, so every later entry point is a
// pointer that loadGlEntryPoints fills from the driver. GLU comes from glu32.
// <windows.h> is kept out of the render and scene code (its min, max, near and
// far macros); the few calling-convention macros GL's headers want are defined
// here exactly as <windows.h> defines them, so a backend file may include both.
#pragma once
#ifndef WINAPI
#define WINAPI __stdcall
#endif
#ifndef APIENTRY
#define APIENTRY WINAPI
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#ifndef DECLSPEC_IMPORT
#define DECLSPEC_IMPORT __declspec (dllimport)
#endif
#ifndef WINGDIAPI
#define WINGDIAPI DECLSPEC_IMPORT
#endif
#include <stddef.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// Every entry point past GL 1.1 that the show, its tools and tests call:
// X(type of the pointer, name).
#define ZUR_GL_ENTRY_POINTS(X)                                                     \
    /* multitexture, draw buffers, blending */                                     \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                                     \
    X(PFNGLCLIENTACTIVETEXTUREPROC, glClientActiveTexture)                         \
    X(PFNGLMULTITEXCOORD2FPROC, glMultiTexCoord2f)                                 \
    X(PFNGLDRAWBUFFERSPROC, glDrawBuffers)                                         \
    X(PFNGLBLENDEQUATIONPROC, glBlendEquation)                                     \
    X(PFNGLBLENDFUNCSEPARATEPROC, glBlendFuncSeparate)                             \
    X(PFNGLDRAWRANGEELEMENTSPROC, glDrawRangeElements)                             \
    X(PFNGLGENERATEMIPMAPPROC, glGenerateMipmap)                                   \
    X(PFNGLCLEARBUFFERFVPROC, glClearBufferfv)                                     \
    X(PFNGLGETSTRINGIPROC, glGetStringi)                                           \
    /* framebuffer objects, as extension and as core names */                      \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                           \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)                     \
    X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT)                           \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)             \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)                 \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)           \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC,                             \
      glGetFramebufferAttachmentParameterivEXT)                                    \
    X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                         \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)                   \
    X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                         \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)                   \
    X(PFNGLRENDERBUFFERSTORAGEMULTISAMPLEEXTPROC,                                  \
      glRenderbufferStorageMultisampleEXT)                                         \
    X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT)     \
    X(PFNGLBLITFRAMEBUFFEREXTPROC, glBlitFramebufferEXT)                           \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                                 \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)                           \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                                 \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)                   \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                       \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)                 \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)                               \
    X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)                         \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)                               \
    X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)                         \
    X(PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC, glRenderbufferStorageMultisample)   \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                                 \
    /* GLSL programs */                                                            \
    X(PFNGLCREATESHADERPROC, glCreateShader)                                       \
    X(PFNGLDELETESHADERPROC, glDeleteShader)                                       \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)                                       \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)                                     \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)                                         \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                               \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                                     \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                                     \
    X(PFNGLATTACHSHADERPROC, glAttachShader)                                       \
    X(PFNGLDETACHSHADERPROC, glDetachShader)                                       \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                                         \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                                       \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)                             \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                                           \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                           \
    X(PFNGLGETUNIFORMIVPROC, glGetUniformiv)                                       \
    X(PFNGLUNIFORM1FPROC, glUniform1f)                                             \
    X(PFNGLUNIFORM2FPROC, glUniform2f)                                             \
    X(PFNGLUNIFORM3FPROC, glUniform3f)                                             \
    X(PFNGLUNIFORM4FPROC, glUniform4f)                                             \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                                             \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                               \
    /* buffer objects (pixel read-back), queries and fences */                     \
    X(PFNGLGENBUFFERSPROC, glGenBuffers)                                           \
    X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                                     \
    X(PFNGLBINDBUFFERPROC, glBindBuffer)                                           \
    X(PFNGLBUFFERDATAPROC, glBufferData)                                           \
    X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)                                     \
    X(PFNGLGETBUFFERSUBDATAPROC, glGetBufferSubData)                               \
    X(PFNGLMAPBUFFERPROC, glMapBuffer)                                             \
    X(PFNGLMAPBUFFERRANGEPROC, glMapBufferRange)                                   \
    X(PFNGLUNMAPBUFFERPROC, glUnmapBuffer)                                         \
    X(PFNGLGENQUERIESPROC, glGenQueries)                                           \
    X(PFNGLDELETEQUERIESPROC, glDeleteQueries)                                     \
    X(PFNGLBEGINQUERYPROC, glBeginQuery)                                           \
    X(PFNGLENDQUERYPROC, glEndQuery)                                               \
    X(PFNGLQUERYCOUNTERPROC, glQueryCounter)                                       \
    X(PFNGLGETQUERYOBJECTIVPROC, glGetQueryObjectiv)                               \
    X(PFNGLGETQUERYOBJECTUIVPROC, glGetQueryObjectuiv)                             \
    X(PFNGLGETQUERYOBJECTUI64VPROC, glGetQueryObjectui64v)                         \
    X(PFNGLFENCESYNCPROC, glFenceSync)                                             \
    X(PFNGLCLIENTWAITSYNCPROC, glClientWaitSync)                                   \
    X(PFNGLDELETESYNCPROC, glDeleteSync)

#define ZUR_GL_DECLARE_ENTRY_POINT(type, name) extern type name;
ZUR_GL_ENTRY_POINTS(ZUR_GL_DECLARE_ENTRY_POINT)
#undef ZUR_GL_DECLARE_ENTRY_POINT
