// The check scenes. Each one leans on one part of the layer: lighting and client
// arrays, a rewritten fragment program, wide line strips, points, a multisampled
// target resolved by a blit, a 1D texture, GL_QUADS colour interpolation and
// glPushAttrib. Only GL names the show itself uses appear here.
#include "tools/web/gl/gl_scenes.h"

#include "gl/gl_api.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "render/draw_helpers.h"
#include "render/vertex_run.h"
#include "tools/assetgen/shaders.h"

namespace {

GLuint sceneFbo = 0, sceneColour = 0;

struct SceneEntry {
    const char* name;
    void (*draw)();
};

GLuint makeTexture(GLenum target, int width, int height, GLenum format, const std::vector<uint8_t>& pixels,
                   GLenum filter)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(target, name);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (target == GL_TEXTURE_1D)
        glTexImage1D(target, 0, format, width, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    else
        glTexImage2D(target, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    return name;
}

GLuint checkerTexture()
{
    static GLuint name = 0;
    if (name == 0) {
        std::vector<uint8_t> rgb(16 * 16 * 3);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                uint8_t* p = &rgb[(y * 16 + x) * 3];
                const bool dark = ((x / 4) + (y / 4)) % 2 == 0;
                p[0] = dark ? 40 : 230, p[1] = static_cast<uint8_t>(x * 15), p[2] = static_cast<uint8_t>(y * 15);
            }
        name = makeTexture(GL_TEXTURE_2D, 16, 16, GL_RGB, rgb, GL_LINEAR);
    }
    return name;
}

GLuint buildProgram(const std::string& text)
{
    const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
    const GLchar* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    char log[1000] = {};
    GLsizei length = 0;
    glGetShaderInfoLog(shader, sizeof log, &length, log);
    if (length > 0)
        std::fprintf(stderr, "shader log: %s\n", log);
    const GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glLinkProgram(program);
    return program;
}

void resetState(float r, float g, float b)
{
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, sceneFbo);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glViewport(0, 0, kSceneSize, kSceneSize);
    glClearColor(r, g, b, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glUseProgram(0);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_POINT_SMOOTH);
    glLineWidth(1);
    glPointSize(1);
    glColor4f(1, 1, 1, 1);
}

void quad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(x0, y0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(x1, y0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(x1, y1, 0);
    glTexCoord2f(0, 1);
    glVertex3f(x0, y1, 0);
    glEnd();
}

// A sphere laid out as the OBJ meshes are: position, texture coordinate, normal.
void drawSphere()
{
    static std::vector<float> vertices;
    static std::vector<uint32_t> indices;
    const int rings = 16, segments = 24;
    if (vertices.empty()) {
        for (int r = 0; r <= rings; ++r)
            for (int s = 0; s <= segments; ++s) {
                const float theta = static_cast<float>(M_PI) * r / rings;
                const float phi = 2 * static_cast<float>(M_PI) * s / segments;
                const float n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
                vertices.insert(vertices.end(), {n[0], n[1], n[2], float(s) / segments, float(r) / rings, n[0], n[1], n[2]});
            }
        for (int r = 0; r < rings; ++r)
            for (int s = 0; s < segments; ++s) {
                const uint32_t a = r * (segments + 1) + s, b = a + segments + 1;
                indices.insert(indices.end(), {a, a + 1, b, b, a + 1, b + 1});
            }
    }
    const GLsizei stride = 8 * sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, vertices.data());
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, vertices.data() + 5);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void litMesh()
{
    resetState(0.3f, 0.3f, 0.35f);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45, 1, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(0, 0.5, 5, 0, 0, 0, 0, 1, 0);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    const float directional[4] = {1, 1, 2, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, directional);
    const float orange[4] = {0.9f, 0.6f, 0.3f, 1};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, orange);
    glPushMatrix();
    glTranslatef(-1.1f, 0, 0);
    glRotatef(30, 1, 1, 0);
    drawSphere();
    glPopMatrix();
    // Positional light, and a scaled mesh whose normals GL leaves unnormalised.
    glPushMatrix();
    glTranslatef(1.1f, 0, 0);
    const float positional[4] = {-1, 2, 1.5f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, positional);
    const float blue[4] = {0.4f, 0.6f, 1.0f, 1};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, blue);
    glScalef(0.8f, 0.8f, 0.8f);
    glRotatef(-50, 0, 1, 0);
    drawSphere();
    glPopMatrix();
}

void shaderQuad()
{
    resetState(0.1f, 0.1f, 0.1f);
    static GLuint program = buildProgram(shaderText("PostProcessing/f_simpleblur.glsl"));
    glUseProgram(program);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, checkerTexture());
    glUniform1i(glGetUniformLocation(program, "texture2d_1"), 0);
    glUniform3f(glGetUniformLocation(program, "ScreenSize"), 64, 64, 0);
    glColor4f(1, 0.8f, 0.6f, 1);
    glRotatef(10, 0, 0, 1);
    quad(-0.8f, -0.8f, 0.8f, 0.8f);
    glUseProgram(0);
}

void lineStrips()
{
    resetState(1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(60, 1, 0.5, 50);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(0, 0, 6, 0, 0, 0, 0, 1, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2);
    std::vector<float> positions, colours;
    auto strip = [&](int count, auto&& at) {
        positions.clear();
        colours.clear();
        for (int i = 0; i < count; ++i) {
            float p[3], c[4];
            at(i, p, c);
            positions.insert(positions.end(), p, p + 3);
            colours.insert(colours.end(), c, c + 4);
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        glColorPointer(4, GL_FLOAT, 0, colours.data());
        glDrawArrays(GL_LINE_STRIP, 0, count);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    };
    // A spiral: every direction, x-major and y-major segments.
    strip(120, [](int i, float* p, float* c) {
        const float a = i * 0.15f, r = 0.3f + i * 0.02f;
        p[0] = r * std::cos(a), p[1] = r * std::sin(a), p[2] = 0;
        c[0] = 0, c[1] = 0, c[2] = 0, c[3] = 0.8f;
    });
    // Strokes receding in depth, one running behind the eye.
    for (int k = 0; k < 6; ++k) {
        strip(20, [k](int i, float* p, float* c) {
            p[0] = -2.5f + k * 0.9f + 0.1f * std::sin(i * 0.7f), p[1] = -2 + i * 0.05f, p[2] = 2 - i * 0.6f + (k == 5 ? 6 : 0);
            c[0] = 0.1f * k, c[1] = 0.2f, c[2] = 0.5f, c[3] = 0.5f + 0.02f * i;
        });
    }
    glLineWidth(1);
}

void points()
{
    resetState(0.05f, 0.05f, 0.1f);
    glPointSize(3);
    std::vector<float> positions, colours;
    for (int i = 0; i < 200; ++i) {
        const float x = -0.95f + 0.9f * ((i * 37) % 100) / 100.0f + 0.0013f * i;
        const float y = -0.95f + 1.9f * ((i * 53) % 97) / 97.0f;
        positions.insert(positions.end(), {x, y, 0});
        const float g = 0.5f + 0.5f * ((i * 13) % 10) / 10.0f;
        colours.insert(colours.end(), {g, g, g, 1});
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glColorPointer(4, GL_FLOAT, 0, colours.data());
    glDrawArrays(GL_POINTS, 0, 200);
    // The right half: smooth points, blended as the dust is.
    glTranslatef(1, 0, 0);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDrawArrays(GL_POINTS, 0, 200);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_POINT_SMOOTH);
}

void multisampleResolve()
{
    static GLuint msFbo = 0, resolveFbo = 0, resolved = 0;
    if (msFbo == 0) {
        GLuint colour = 0, depth = 0;
        glGenRenderbuffersEXT(1, &colour);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
        glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, 4, GL_RGBA8, kSceneSize, kSceneSize);
        glGenRenderbuffersEXT(1, &depth);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
        glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, 4, GL_DEPTH_COMPONENT32, kSceneSize, kSceneSize);
        glGenFramebuffersEXT(1, &msFbo);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, msFbo);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT)
            std::fprintf(stderr, "multisampled framebuffer incomplete\n");
        glGenTextures(1, &resolved);
        glBindTexture(GL_TEXTURE_2D, resolved);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSceneSize, kSceneSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffersEXT(1, &resolveFbo);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, resolveFbo);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, resolved, 0);
    }
    resetState(0, 0, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, msFbo);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClearColor(0.9f, 0.9f, 0.8f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glRotatef(23, 0, 0, 1);
    glBegin(GL_TRIANGLES);
    glColor3f(0.8f, 0.1f, 0.1f);
    glVertex3f(-0.7f, -0.6f, 0.2f);
    glColor3f(0.1f, 0.6f, 0.1f);
    glVertex3f(0.8f, -0.3f, 0.2f);
    glColor3f(0.1f, 0.1f, 0.7f);
    glVertex3f(-0.1f, 0.8f, -0.5f);
    glEnd();
    glColor3f(0, 0, 0);
    quad(-0.2f, -0.9f, 0.1f, 0.9f);
    glDisable(GL_DEPTH_TEST);
    // Multisampled lines are rectangles, multisampled points sit off the pixel grid.
    glLoadIdentity();
    glLineWidth(2);
    glColor3f(0.1f, 0.1f, 0.5f);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < 12; ++i)
        glVertex3f(-0.9f + i * 0.16f, (i % 2 ? 0.7f : 0.35f) + 0.01f * i, 0);
    glEnd();
    glLineWidth(1);
    glPointSize(3);
    glBegin(GL_POINTS);
    for (int i = 0; i < 12; ++i)
        glVertex3f(-0.9f + i * 0.153f, -0.8f + 0.0071f * i, 0);
    glEnd();
    glPointSize(1);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, msFbo);
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, resolveFbo);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glBlitFramebufferEXT(0, 0, kSceneSize, kSceneSize, 0, 0, kSceneSize, kSceneSize, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBlitFramebufferEXT(0, 0, kSceneSize, kSceneSize, 0, 0, kSceneSize, kSceneSize, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    // Back on the scene's framebuffer: the resolved picture, fixed-function textured.
    resetState(0, 0, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, resolved);
    glColor4f(1, 1, 1, 1);
    quad(-1, -1, 1, 1);
    glDisable(GL_TEXTURE_2D);
}

void texture1d()
{
    static GLuint ramp = 0, program = 0;
    if (ramp == 0) {
        std::vector<uint8_t> rgb(256 * 3);
        for (int i = 0; i < 256; ++i)
            rgb[i * 3] = static_cast<uint8_t>(i), rgb[i * 3 + 1] = static_cast<uint8_t>(255 - i),
            rgb[i * 3 + 2] = static_cast<uint8_t>((i * 7) % 256);
        ramp = makeTexture(GL_TEXTURE_1D, 256, 1, GL_RGB, rgb, GL_LINEAR);
        glBindTexture(GL_TEXTURE_1D, 0);
        program = buildProgram(R"(#version 120
uniform sampler1D ramp;
uniform sampler2D texture; // a name GLSL ES 3.00 keeps for itself
void main()
{
    float x = gl_TexCoord[0].x * 0.9 + 0.05;
    vec4 checker = texture2D(texture, gl_TexCoord[0].xy);
    gl_FragColor = texture1D(ramp, clamp(x, 0.0, 1.0)) * gl_Color * mix(0.7, 1.0, checker.r);
}
)");
    }
    resetState(0, 0, 0);
    glUseProgram(program);
    glActiveTexture(GL_TEXTURE0 + 4);
    glBindTexture(GL_TEXTURE_1D, ramp);
    glUniform1i(glGetUniformLocation(program, "ramp"), 4);
    glActiveTexture(GL_TEXTURE0 + 1);
    glBindTexture(GL_TEXTURE_2D, checkerTexture());
    glUniform1i(glGetUniformLocation(program, "texture"), 1);
    glActiveTexture(GL_TEXTURE0);
    glColor4f(1, 1, 1, 1);
    quad(-1, -1, 1, 1);
    glUseProgram(0);
}

void quadsAndAttribs()
{
    resetState(0.2f, 0.2f, 0.2f);
    // Colours differ at every corner, so the diagonal a quad is split along shows.
    glBegin(GL_QUADS);
    glColor3f(1, 0, 0);
    glVertex3f(-0.9f, -0.9f, 0);
    glColor3f(0, 1, 0);
    glVertex3f(0.1f, -0.8f, 0);
    glColor3f(0, 0, 1);
    glVertex3f(0, 0.1f, 0);
    glColor3f(1, 1, 1);
    glVertex3f(-0.8f, 0, 0);
    glEnd();
    // Saved state comes back: blending and the colour set inside are undone.
    glColor4f(0.2f, 0.8f, 0.4f, 0.5f);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(1, 1, 1, 1);
    glViewport(0, 0, 10, 10);
    glPopAttrib();
    quad(0.2f, 0.2f, 0.9f, 0.9f);
    // Fixed-function texturing modulated by the colour, with a texture matrix scale.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checkerTexture());
    glColor4f(1, 0.5f, 1, 1);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(2, 2, 1);
    glMatrixMode(GL_MODELVIEW);
    quad(0.2f, -0.9f, 0.9f, -0.2f);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_TEXTURE_2D);
    // A texture read back through glGetTexImage, drawn again as a strip of points.
    glBindTexture(GL_TEXTURE_2D, checkerTexture());
    std::vector<uint8_t> rgba(16 * 16 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPointSize(4);
    glBegin(GL_POINTS);
    for (int i = 0; i < 16; ++i) {
        const uint8_t* p = &rgba[(i * 16 + i) * 4];
        glColor3f(p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
        glVertex3f(-0.9f + i * 0.06f, 0.5f, 0);
    }
    glEnd();
}

void finalShader()
{
    static GLuint program = 0, noise = 0, ramp = 0;
    if (program == 0) {
        program = buildProgram(shaderText("PostProcessing/f_blurpass.glsl"));
        std::vector<uint8_t> rgb(64 * 64 * 3);
        uint32_t seed = 12345;
        for (uint8_t& b : rgb) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(seed >> 24);
        }
        noise = makeTexture(GL_TEXTURE_2D, 64, 64, GL_RGB, rgb, GL_LINEAR);
        std::vector<uint8_t> flat(256 * 3, 128);
        ramp = makeTexture(GL_TEXTURE_1D, 256, 1, GL_RGB, flat, GL_LINEAR);
        glBindTexture(GL_TEXTURE_1D, 0);
    }
    resetState(0, 0, 0);
    glUseProgram(program);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, checkerTexture());
    glUniform1i(glGetUniformLocation(program, "texture2d_1"), 0);
    glActiveTexture(GL_TEXTURE0 + 2);
    glBindTexture(GL_TEXTURE_2D, noise);
    glUniform1i(glGetUniformLocation(program, "texture2d_random"), 2);
    glActiveTexture(GL_TEXTURE0 + 4);
    glBindTexture(GL_TEXTURE_1D, ramp);
    glUniform1i(glGetUniformLocation(program, "texture1d_dsp"), 4);
    glUniform1f(glGetUniformLocation(program, "time"), 42);
    glUniform1f(glGetUniformLocation(program, "Limit"), 0.5f);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    quad(-1, -1, 1, 1);
    glDisable(GL_TEXTURE_2D);
    glUseProgram(0);
}

// The show's own drawing helpers: sprites facing the viewer, a panel, scissored
// quads, and vertex runs with two-component positions and per-vertex alpha, as
// the main pass draws its pencil line and dust.
void showHelpers()
{
    resetState(0.95f, 0.93f, 0.88f);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(55, 1, 0.1, 800);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(0.5, 1, 9, 0, 0, 0, 0, 1, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checkerTexture());
    setLinearFilter();
    glPushMatrix();
    glTranslatef(-2, 1.5f, 0);
    glRotatef(40, 1, 0, 0);
    drawSprite(25, -1.2, 0.8, true, 1);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(2, 1.8f, -1);
    drawPanel(0, -15, 1.5, 0.7);
    glPopMatrix();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    beginScissor(20, 10, 40, 30);
    drawQuad(-3, -3, 3, 0, 2);
    endScissor();
    resetDrawState();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2);
    VertexRun line(2);
    for (int i = 0; i < 300; ++i) {
        const float a = i * 0.05f;
        line.add(3.5f * std::cos(a) * (0.3f + i / 400.0f), 3 * std::sin(1.3f * a) * 0.8f - 0.5f, 0, 0, 0, 0,
                 0.8f * (0.3f + 0.7f * ((i / 20) % 2)));
    }
    line.draw(GL_LINE_STRIP);
    glLineWidth(1);
    glEnable(GL_POINT_SMOOTH);
    glPointSize(3);
    VertexRun dust(3);
    for (int i = 0; i < 150; ++i)
        dust.add(-4 + 0.053f * i, -3 + 0.02f * ((i * 29) % 100), -1 - 0.01f * i, 0.3f, 0.2f, 0.1f, 1);
    dust.draw(GL_POINTS);
    glDisable(GL_POINT_SMOOTH);
    resetDrawState();
}

// The capture's read-back paths: RGB rows packed to one byte, and BGRA through a
// pixel pack buffer that is mapped afterwards. What they read is drawn again, so
// the picture shows any channel or row out of place.
void readBack()
{
    resetState(0, 0, 0);
    glBegin(GL_QUADS);
    glColor3f(1, 0, 0);
    glVertex3f(-1, -1, 0);
    glColor3f(0, 1, 0);
    glVertex3f(1, -1, 0);
    glColor3f(0, 0, 1);
    glVertex3f(1, 1, 0);
    glColor3f(1, 1, 1);
    glVertex3f(-1, 1, 0);
    glEnd();
    const int w = 30, h = 20; // odd row lengths in bytes for RGB
    std::vector<uint8_t> rgb(w * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glReadPixels(17, 40, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, w * h * 4, nullptr, GL_STREAM_READ);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(70, 60, w, h, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    std::vector<uint8_t> fromBgra(w * h * 3);
    if (const uint8_t* mapped = static_cast<const uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY))) {
        for (int i = 0; i < w * h; ++i)
            fromBgra[i * 3] = mapped[i * 4 + 2], fromBgra[i * 3 + 1] = mapped[i * 4 + 1],
            fromBgra[i * 3 + 2] = mapped[i * 4];
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
    static GLuint textures[2] = {};
    if (textures[0] == 0)
        glGenTextures(2, textures);
    resetState(0.5f, 0.5f, 0.5f);
    glEnable(GL_TEXTURE_2D);
    for (int k = 0; k < 2; ++k) {
        glBindTexture(GL_TEXTURE_2D, textures[k]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, k == 0 ? rgb.data() : fromBgra.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        quad(k == 0 ? -0.95f : 0.05f, -0.5f, k == 0 ? -0.05f : 0.95f, 0.5f);
    }
    glDisable(GL_TEXTURE_2D);
}

const SceneEntry kScenes[] = {
    {"lit mesh", litMesh},
    {"rewritten shader on a quad", shaderQuad},
    {"2-px line strips", lineStrips},
    {"3-px points, aliased and smooth", points},
    {"multisampled target resolved by blit", multisampleResolve},
    {"1D texture in a fragment program", texture1d},
    {"quads, glPushAttrib, texture matrix, glGetTexImage", quadsAndAttribs},
    {"final composition program", finalShader},
    {"the show's drawing helpers and vertex runs", showHelpers},
    {"read-back: RGB rows, BGRA through a mapped buffer", readBack},
};

} // namespace

int sceneCount() { return static_cast<int>(sizeof kScenes / sizeof kScenes[0]); }
const char* sceneName(int index) { return kScenes[index].name; }

bool setUpScenes()
{
    glGenTextures(1, &sceneColour);
    glBindTexture(GL_TEXTURE_2D, sceneColour);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSceneSize, kSceneSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLuint depth = 0;
    glGenRenderbuffersEXT(1, &depth);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
    glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, 0, GL_DEPTH_COMPONENT32, kSceneSize, kSceneSize);
    glGenFramebuffersEXT(1, &sceneFbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, sceneFbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, sceneColour, 0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    return glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
}

std::vector<uint8_t> drawScene(int index)
{
    kScenes[index].draw();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, sceneFbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    std::vector<uint8_t> rgba(kSceneSize * kSceneSize * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, kSceneSize, kSceneSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}
