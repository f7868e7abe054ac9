// What the render floor keeps of the engine record: the window's presentation
// function and device context, the texture table, the render-target table and the
// outline font. The engine's DemoContext is built on it, so render code takes a
// RenderResources and every caller can hand it the DemoContext.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One off-screen target: a multisample framebuffer to draw into and a resolve
// framebuffer that textures are attached to. GL object names, 0 until created.
struct RenderTarget {
    uint32_t colour0 = 0;
    uint32_t colour1 = 0;
    uint32_t depth = 0;
    uint32_t multisampleFbo = 0;
    uint32_t resolveFbo = 0;
};

// One loaded texture file, for the developer asset report.
struct TextureRecord {
    std::string name;
    int32_t textureId = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t kind = 0; // 0 JPEG texture, 1 mesh
};

// Glyph metrics of one outline-font character, in font units of the outline lists.
struct GlyphMetrics {
    float blackBoxX = 0, blackBoxY = 0;
    float originX = 0, originY = 0;
    float advanceX = 0, advanceY = 0;
};

constexpr int kTextureSlots = 10000;
constexpr int kRenderTargetSlots = 16;

struct RenderResources {
    // Swaps the window's buffers; set by start-up.
    bool (*presentFrame)() = nullptr;
    void* deviceContext = nullptr;

    // Texture table: slot textureBase + id holds the GL name of texture id.
    uint32_t textures[kTextureSlots] = {};
    int32_t textureBase = 0;
    uint8_t loaderOptions[2] = {0, 0};
    std::vector<TextureRecord> textureList;

    RenderTarget renderTargets[kRenderTargetSlots];

    // Outline font: first of 256 display lists, metrics of each character.
    uint32_t fontBase = 0;
    GlyphMetrics glyphMetrics[256];
};
