// A hidden window with a compatibility-profile GL context (24 depth bits, double
// buffer, alpha; SDL2 or WGL by platform) and the GL entry points loaded, for tests that draw and read pixels back
// under Xvfb. Plus small read-back helpers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class GlTestContext {
public:
    // Opens the window and makes its context current; ok() tells whether it worked
    // and error() why not.
    explicit GlTestContext(int width = 256, int height = 256);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    bool ok() const { return ready; }
    const std::string& error() const { return reason; }
    // What the platform layer calls the window's device context.
    void* deviceContext() const { return device; }

private:
    // Loads the entry points of the context just made current; ready when it
    // has what the tests need.
    void takeCurrentContext();

    void* window = nullptr;
    void* device = nullptr;
    void* context = nullptr;
    bool ready = false;
    std::string reason;
};

// A single-sample RGBA8 framebuffer with a depth buffer, bound for drawing and
// reading, viewport set to its size. Deleted by the destructor.
class TestFramebuffer {
public:
    TestFramebuffer(int width, int height);
    ~TestFramebuffer();
    TestFramebuffer(const TestFramebuffer&) = delete;
    TestFramebuffer& operator=(const TestFramebuffer&) = delete;
    void bind() const;

    const int width, height;

private:
    uint32_t framebuffer = 0, colour = 0, depth = 0;
};

// RGBA bytes of the bound read framebuffer, rows bottom first.
std::vector<uint8_t> readPixelsRgba(int x, int y, int width, int height);

// RGBA bytes of level 0 of a GL_TEXTURE_2D texture, rows bottom first.
std::vector<uint8_t> readTextureRgba(uint32_t texture, int& width, int& height);
