// A run of vertices with a colour each, kept on the client and drawn with one
// glDrawArrays from client-side arrays: GL receives the same positions and colours
// that a glBegin/glColor/glVertex run would send it, in one call instead of two
// per vertex. Like any colour array, it leaves GL's current colour undefined.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct VertexRun {
    int size = 3;                 // position components: 2 (z = 0) or 3
    std::vector<float> positions; // `size` per vertex
    std::vector<float> colours;   // r, g, b, a per vertex

    explicit VertexRun(int positionSize = 3) : size(positionSize) {}
    int count() const { return static_cast<int>(colours.size() / 4); }
    void clear()
    {
        positions.clear();
        colours.clear();
    }
    void reserve(size_t vertices)
    {
        positions.reserve(vertices * static_cast<size_t>(size));
        colours.reserve(vertices * 4);
    }
    // z is dropped for a run of two components.
    void add(float x, float y, float z, float r, float g, float b, float a)
    {
        positions.push_back(x);
        positions.push_back(y);
        if (size == 3)
            positions.push_back(z);
        colours.push_back(r);
        colours.push_back(g);
        colours.push_back(b);
        colours.push_back(a);
    }
    // Draws the run as `mode` (a GLenum: GL_POINTS, GL_LINE_STRIP, ...); nothing
    // when it is empty. The client arrays it enables are disabled again.
    void draw(uint32_t mode) const;
};
