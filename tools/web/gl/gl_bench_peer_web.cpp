// The benchmark's peer: raw WebGL 2 with one program, the strips expanded by the
// layer's own core, uploaded and drawn in one call a frame.
#include <GLES3/gl3.h>
#include <emscripten.h>

#include <vector>

#include "gl/web/fixed_pipeline.h"
#include "tools/web/gl/gl_bench.h"

namespace {

GLuint program = 0, vbo = 0, ibo = 0, vao = 0;

GLuint shader(GLenum type, const char* text)
{
    const GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    return s;
}

} // namespace

void drawPeerFrame(int frame, int size, bool draw);

void setUpPeer()
{
    program = glCreateProgram();
    glAttachShader(program, shader(GL_VERTEX_SHADER, "#version 300 es\nin vec4 p; in vec4 c; out vec4 v;\n"
                                                     "void main() { gl_Position = p; v = c; }\n"));
    glAttachShader(program, shader(GL_FRAGMENT_SHADER, "#version 300 es\nprecision highp float; in vec4 v; "
                                                       "out vec4 o; void main() { o = v; }\n"));
    glBindAttribLocation(program, 0, "p");
    glBindAttribLocation(program, 1, "c");
    glLinkProgram(program);
    GLint layerVao = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &layerVao);
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glGenBuffers(1, &ibo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
    glBindVertexArray(static_cast<GLuint>(layerVao));
}

void drawPeerFrame(int frame, int size) { drawPeerFrame(frame, size, true); }

void drawPeerFrame(int frame, int size, bool draw)
{
    static std::vector<fixedgl::Vertex> strip(kBenchStripVertices), triangles;
    static std::vector<uint32_t> pairs;
    static std::vector<float> positions(kBenchStripVertices * 3);
    // The layer keeps its own vertex array and program bound; put them back afterwards.
    GLint layerVao = 0, layerProgram = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &layerVao);
    glGetIntegerv(GL_CURRENT_PROGRAM, &layerProgram);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glViewport(0, 0, size, size);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fixedgl::Matrix projection = fixedgl::identityMatrix();
    fixedgl::perspective(projection, 60, 1, 0.5, 50);
    triangles.clear();
    pairs.clear();
    fixedgl::segmentIndices(fixedgl::lineStrip, kBenchStripVertices, pairs);
    for (int s = 0; s < kBenchStrips; ++s) {
        fixedgl::Matrix mvp = projection;
        fixedgl::lookAt(mvp, 0, 0, 8, 0, 0, 0, 0, 1, 0);
        fixedgl::translate(mvp, 0.001f * s, 0, 0);
        benchStrip(frame, s, positions.data());
        for (int i = 0; i < kBenchStripVertices; ++i) {
            fixedgl::Vertex& v = strip[i];
            v = fixedgl::Vertex{};
            v.position[0] = positions[3 * i], v.position[1] = positions[3 * i + 1];
            v.position[2] = positions[3 * i + 2], v.position[3] = 1;
            v.colour[0] = v.colour[1] = v.colour[2] = v.colour[3] = 0.2f;
        }
        fixedgl::expandLines(strip.data(), strip.size(), pairs.data(), pairs.size() / 2, mvp,
                             fixedgl::Viewport{0, 0, size, size}, 2, false, triangles);
    }
    if (!draw) {
        glBindVertexArray(static_cast<GLuint>(layerVao));
        return;
    }
    glBufferData(GL_ARRAY_BUFFER, triangles.size() * sizeof(fixedgl::Vertex), triangles.data(), GL_STREAM_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(fixedgl::Vertex), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(fixedgl::Vertex),
                          reinterpret_cast<const void*>(offsetof(fixedgl::Vertex, colour)));
    glUseProgram(program);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The same indexed quads the layer draws.
    static std::vector<uint32_t> indices;
    if (indices.size() < triangles.size() / 4 * 6) {
        fixedgl::quadCornerIndices(triangles.size() / 4, indices);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(uint32_t), indices.data(), GL_STATIC_DRAW);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(triangles.size() / 4 * 6), GL_UNSIGNED_INT, nullptr);
    glDisable(GL_BLEND);
    unsigned char pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glBindVertexArray(static_cast<GLuint>(layerVao));
    glUseProgram(static_cast<GLuint>(layerProgram));
}
