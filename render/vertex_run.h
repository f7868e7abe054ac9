// A run of vertices with a colour each, kept on the client and drawn with one
// glDrawArrays from client-side arrays: GL receives the same positions and colours
// that a glBegin/glColor/glVertex run would send it, in one call instead of two
// per vertex. Like any colour array, it leaves GL's current colour undefined.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class VertexRun {
public:
    // size: position components, 2 (z is dropped) or 3.
    explicit VertexRun(int size = 3) : size_(size == 2 ? 2 : 3) {}

    int count() const { return static_cast<int>(count_); }
    const float* positions() const { return positions_.data(); }
    const float* colours() const { return colours_.data(); }
    void clear() { count_ = 0; }
    void reserve(size_t vertices)
    {
        if (vertices > positions_.size() / static_cast<size_t>(size_)) {
            positions_.resize(vertices * static_cast<size_t>(size_));
            colours_.resize(vertices * 4);
        }
    }
    void add(float x, float y, float z, float r, float g, float b, float a)
    {
        if (count_ * static_cast<size_t>(size_) == positions_.size())
            reserve(count_ * 2 + 64);
        float* p = positions_.data() + count_ * static_cast<size_t>(size_);
        p[0] = x;
        p[1] = y;
        if (size_ == 3)
            p[2] = z;
        float* c = colours_.data() + count_ * 4;
        c[0] = r, c[1] = g, c[2] = b, c[3] = a;
        ++count_;
    }
    // Draws the run as `mode` (a GLenum: GL_POINTS, GL_LINE_STRIP, ...); nothing
    // when it is empty. The client arrays it enables are disabled again.
    void draw(uint32_t mode) const;

private:
    int size_;
    size_t count_ = 0;
    std::vector<float> positions_; // size_ per vertex, room for more than count_
    std::vector<float> colours_;   // r, g, b, a per vertex
};
