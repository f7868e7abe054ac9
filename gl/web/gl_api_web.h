// GL for the browser: the desktop GL 1.x/2.x and GLU names the show calls, mapped
// by macro onto a translation layer over WebGL 2 (the *_web.cpp files beside this
// header). Only the names the show uses exist; anything else fails to compile, on
// purpose.
//
// Why macros onto zw_* functions rather than functions called gl*: Emscripten's
// own gl* symbols (its C declarations and its JavaScript library) stay reachable
// under their real names from the layer, nothing is interposed at link time, and
// a name the layer forgot is a compile error, not a silent call into raw WebGL.
#pragma once

// The implementation includes <GLES3/gl3.h> first and defines this; it then gets
// its types and the constants WebGL shares with desktop GL from there.
#ifndef ZUR_GL_WEB_IMPLEMENTATION
typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef int GLint;
typedef int GLsizei;
typedef unsigned int GLuint;
typedef float GLfloat;
typedef char GLchar;
typedef unsigned char GLubyte;
typedef long GLsizeiptr;
typedef unsigned long long GLuint64;

// Constants WebGL 2 shares with desktop GL (same values as <GLES3/gl3.h>).
#define GL_NO_ERROR 0
#define GL_FALSE 0
#define GL_TRUE 1
#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_LINE_LOOP 0x0002
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_ZERO 0
#define GL_ONE 1
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_LEQUAL 0x0203
#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_OUT_OF_MEMORY 0x0505
#define GL_CULL_FACE 0x0B44
#define GL_DEPTH_TEST 0x0B71
#define GL_BLEND 0x0BE2
#define GL_VIEWPORT 0x0BA2
#define GL_SCISSOR_TEST 0x0C11
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_PACK_ALIGNMENT 0x0D05
#define GL_TEXTURE_2D 0x0DE1
#define GL_NICEST 0x1102
#define GL_UNSIGNED_BYTE 0x1401
#define GL_UNSIGNED_INT 0x1405
#define GL_FLOAT 0x1406
#define GL_RGB 0x1907
#define GL_RGBA 0x1908
#define GL_VENDOR 0x1F00
#define GL_RENDERER 0x1F01
#define GL_EXTENSIONS 0x1F03
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000
#define GL_RGBA8 0x8058
#define GL_TEXTURE0 0x84C0
#define GL_QUERY_RESULT 0x8866
#define GL_STREAM_READ 0x88E1
#define GL_PIXEL_PACK_BUFFER 0x88EB
#define GL_FRAGMENT_SHADER 0x8B30
#define GL_COMPILE_STATUS 0x8B81
#define GL_LINK_STATUS 0x8B82
#endif

// Constants only desktop GL has; the layer gives them their desktop meaning.
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009
#define GL_ALL_ATTRIB_BITS 0xFFFFFFFF
#define GL_TEXTURE_WIDTH 0x1000
#define GL_TEXTURE_HEIGHT 0x1001
#define GL_POINT_SMOOTH 0x0B10
#define GL_LIGHTING 0x0B50
#define GL_COLOR_MATERIAL 0x0B57
#define GL_FOG 0x0B60
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_TEXTURE_1D 0x0DE0
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_EMISSION 0x1600
#define GL_SHININESS 0x1601
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_TEXTURE 0x1702
#define GL_FLAT 0x1D00
#define GL_SMOOTH 0x1D01
#define GL_LIGHT0 0x4000
#define GL_VERTEX_ARRAY 0x8074
#define GL_NORMAL_ARRAY 0x8075
#define GL_COLOR_ARRAY 0x8076
#define GL_TEXTURE_COORD_ARRAY 0x8078
#define GL_BGRA 0x80E1
#define GL_DEPTH_COMPONENT32 0x81A7
#define GL_READ_ONLY 0x88B8
#define GL_TIMESTAMP 0x8E28
#define GL_READ_FRAMEBUFFER_EXT 0x8CA8
#define GL_DRAW_FRAMEBUFFER_EXT 0x8CA9
#define GL_FRAMEBUFFER_COMPLETE_EXT 0x8CD5
#define GL_COLOR_ATTACHMENT0_EXT 0x8CE0
#define GL_COLOR_ATTACHMENT1_EXT 0x8CE1
#define GL_COLOR_ATTACHMENT2_EXT 0x8CE2
#define GL_DEPTH_ATTACHMENT_EXT 0x8D00
#define GL_FRAMEBUFFER_EXT 0x8D40
#define GL_RENDERBUFFER_EXT 0x8D41
#define GL_MAX_SAMPLES_EXT 0x8D57

// ---- matrices, immediate mode, client arrays, fixed-function state
void zw_glMatrixMode(GLenum mode);
void zw_glLoadIdentity();
void zw_glLoadMatrixf(const GLfloat* m);
void zw_glPushMatrix();
void zw_glPopMatrix();
void zw_glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void zw_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void zw_glScalef(GLfloat x, GLfloat y, GLfloat z);
void zw_gluPerspective(double fovy, double aspect, double zNear, double zFar);
void zw_gluLookAt(double ex, double ey, double ez, double cx, double cy, double cz, double ux, double uy, double uz);
void zw_glBegin(GLenum mode);
void zw_glEnd();
void zw_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void zw_glColor3f(GLfloat r, GLfloat g, GLfloat b);
void zw_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void zw_glTexCoord2f(GLfloat s, GLfloat t);
void zw_glEnableClientState(GLenum array);
void zw_glDisableClientState(GLenum array);
void zw_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void zw_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void zw_glNormalPointer(GLenum type, GLsizei stride, const void* pointer);
void zw_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void zw_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void zw_glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices);
void zw_glEnable(GLenum cap);
void zw_glDisable(GLenum cap);
GLboolean zw_glIsEnabled(GLenum cap);
void zw_glLightfv(GLenum light, GLenum name, const GLfloat* params);
void zw_glMaterialfv(GLenum face, GLenum name, const GLfloat* params);
void zw_glShadeModel(GLenum mode);
void zw_glHint(GLenum target, GLenum mode);
void zw_glLineWidth(GLfloat width);
void zw_glPointSize(GLfloat size);
void zw_glPushAttrib(GLbitfield mask);
void zw_glPopAttrib();
void zw_glBlendFunc(GLenum source, GLenum destination);
void zw_glDepthFunc(GLenum func);
void zw_glScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void zw_glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void zw_glClear(GLbitfield mask);
void zw_glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void zw_glClearDepth(double depth);
void zw_glGetFloatv(GLenum name, GLfloat* values);
void zw_glGetIntegerv(GLenum name, GLint* values);
const GLubyte* zw_glGetString(GLenum name);
GLenum zw_glGetError();
void zw_glFinish();
void zw_glFlush();

// ---- textures, pixels, buffers
void zw_glActiveTexture(GLenum unit);
void zw_glGenTextures(GLsizei n, GLuint* names);
void zw_glBindTexture(GLenum target, GLuint name);
void zw_glTexParameteri(GLenum target, GLenum name, GLint value);
void zw_glTexParameterf(GLenum target, GLenum name, GLfloat value);
void zw_glTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border, GLenum format,
                     GLenum type, const void* pixels);
void zw_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                     GLenum format, GLenum type, const void* pixels);
void zw_glGetTexLevelParameteriv(GLenum target, GLint level, GLenum name, GLint* value);
void zw_glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels);
void zw_glPixelStorei(GLenum name, GLint value);
void zw_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void zw_glGenBuffers(GLsizei n, GLuint* names);
void zw_glDeleteBuffers(GLsizei n, const GLuint* names);
void zw_glBindBuffer(GLenum target, GLuint name);
void zw_glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
void* zw_glMapBuffer(GLenum target, GLenum access);
GLboolean zw_glUnmapBuffer(GLenum target);

// ---- framebuffers
void zw_glGenFramebuffersEXT(GLsizei n, GLuint* names);
void zw_glBindFramebufferEXT(GLenum target, GLuint name);
void zw_glGenRenderbuffersEXT(GLsizei n, GLuint* names);
void zw_glBindRenderbufferEXT(GLenum target, GLuint name);
void zw_glRenderbufferStorageMultisampleEXT(GLenum target, GLsizei samples, GLenum format, GLsizei width,
                                            GLsizei height);
void zw_glFramebufferRenderbufferEXT(GLenum target, GLenum attachment, GLenum bufferTarget, GLuint buffer);
void zw_glFramebufferTexture2DEXT(GLenum target, GLenum attachment, GLenum textureTarget, GLuint texture,
                                  GLint level);
GLenum zw_glCheckFramebufferStatusEXT(GLenum target);
void zw_glBlitFramebufferEXT(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                             GLbitfield mask, GLenum filter);
void zw_glDrawBuffer(GLenum buffer);
void zw_glDrawBuffers(GLsizei n, const GLenum* buffers);
void zw_glReadBuffer(GLenum buffer);

// ---- fragment programs (the vertex stage is the layer's own)
GLuint zw_glCreateShader(GLenum type);
void zw_glShaderSource(GLuint shader, GLsizei count, const GLchar* const* text, const GLint* lengths);
void zw_glCompileShader(GLuint shader);
void zw_glGetShaderInfoLog(GLuint shader, GLsizei size, GLsizei* length, GLchar* log);
void zw_glGetShaderiv(GLuint shader, GLenum name, GLint* value);   // GL_COMPILE_STATUS
void zw_glGetProgramiv(GLuint program, GLenum name, GLint* value); // GL_LINK_STATUS
void zw_glGetProgramInfoLog(GLuint program, GLsizei size, GLsizei* length, GLchar* log);
GLuint zw_glCreateProgram();
void zw_glAttachShader(GLuint program, GLuint shader);
void zw_glLinkProgram(GLuint program);
void zw_glUseProgram(GLuint program);
GLint zw_glGetUniformLocation(GLuint program, const GLchar* name);
void zw_glUniform1i(GLint location, GLint x);
void zw_glUniform1f(GLint location, GLfloat x);
void zw_glUniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z);

// Timer queries are optional entry points the show tests for null; WebGL 2 has no
// timestamps without an extension that browsers mostly hide, so they stay null.
extern void (*zw_glGenQueries)(GLsizei n, GLuint* names);
extern void (*zw_glQueryCounter)(GLuint query, GLenum target);
extern void (*zw_glGetQueryObjectui64v)(GLuint query, GLenum name, GLuint64* value);

#ifndef ZUR_GL_WEB_IMPLEMENTATION
#include "gl/web/gl_api_web_names.h"
#endif
