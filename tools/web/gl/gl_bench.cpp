// The benchmark frame, in the show's GL calls only.
#include "tools/web/gl/gl_bench.h"

#include "gl/gl_api.h"

#include <cmath>
#include <vector>

void benchStrip(int frame, int strip, float* out)
{
    const float phase = frame * 0.01f + strip * 0.37f;
    for (int i = 0; i < kBenchStripVertices; ++i) {
        const float t = i / float(kBenchStripVertices - 1);
        out[3 * i] = -4 + 8 * std::fmod(strip * 0.618f, 1.0f) + 0.5f * std::sin(phase + t * 3);
        out[3 * i + 1] = -3 + 6 * t;
        out[3 * i + 2] = -2 * std::cos(phase * 0.7f + t);
    }
}

void drawBenchFrame(int frame, int size)
{
    static std::vector<float> positions(kBenchStripVertices * 3), colours(kBenchStripVertices * 4, 0.2f);
    glViewport(0, 0, size, size);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 1, 0.5, 50);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glLineWidth(2);
    for (int s = 0; s < kBenchStrips; ++s) {
        // The stroke pass sets its matrices per stroke.
        glLoadIdentity();
        gluLookAt(0, 0, 8, 0, 0, 0, 0, 1, 0);
        glTranslatef(0.001f * s, 0, 0);
        benchStrip(frame, s, positions.data());
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        glColorPointer(4, GL_FLOAT, 0, colours.data());
        glDrawArrays(GL_LINE_STRIP, 0, kBenchStripVertices);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    glLineWidth(1);
    glDisable(GL_BLEND);
    // Reading a pixel waits for the drawing, where glFinish may not in a browser.
    unsigned char pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}
