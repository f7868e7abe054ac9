// The OpenGL the show draws with: GL 1.1, GLU, and the later entry points
// (framebuffer objects, multisampled renderbuffers, blits, draw buffers, GLSL
// programs, multitexture) that are loaded once a context is current. Render and
// scene code include this header and nothing else of GL. The build picks the
// loader: GLEW (gl_api_glew.h), the WGL loader of our own (gl_api_win32.h), or in
// the browser a translation layer onto WebGL 2 (web/gl_api_web.h).
#pragma once
#include ZUR_GL_API_HEADER

// Loads the later entry points for the current context. False when one that the
// show needs is missing; the show goes on regardless (a missing entry point shows
// up as a GL error), tests refuse such a context.
bool loadGlEntryPoints();
