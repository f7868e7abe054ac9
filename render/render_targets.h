// Off-screen render targets: a 16-slot table of the RenderResources, each slot a
// multisample framebuffer to draw into and a resolve framebuffer that textures are
// attached to. GL framebuffer-object entry points come from GLEW.
#pragma once
#include <cstdint>

#include "render/render_resources.h"

// Creates the renderbuffers and both framebuffers of target index (clamped into
// 0..15). Sample counts above what the driver offers are lowered to its maximum.
// Returns with the resolve framebuffer bound. False when the driver ran out of
// memory for the images or will not complete the framebuffer at this size (a size
// of 0, which draws nothing, is not a failure).
bool createTarget(RenderResources& context, int index, int width, int height, int samples);

// Attaches texture id (through the texture table) to colour attachment slot
// (clamped into 0..2) of the resolve framebuffer, which stays bound.
// Returns the framebuffer status.
uint32_t attachTexture(RenderResources& context, int index, int slot, int textureId);

// Binds the multisample framebuffer and selects bufferCount (clamped into 1..3)
// colour attachments for drawing.
void bindForDrawing(RenderResources& context, int index, int bufferCount);

// Copies the multisample images into the resolve framebuffer: colour attachments
// 0 .. bufferCount-1 (clamped into 1..3), then depth when withDepth. Returns the
// status of the last check; the read / draw bindings are left in place.
uint32_t resolve(RenderResources& context, int index, int width, int height, int bufferCount, bool withDepth);

// Copies the pixels x0 <= x < x1, y0 <= y < y1 of colour attachment 0 of the
// multisample image into the resolve framebuffer, the same way resolve does for
// the whole image; the rest of the attached texture keeps what it held.
void resolveArea(RenderResources& context, int index, int x0, int y0, int x1, int y1);

// Back to the default framebuffer.
void unbindTarget(RenderResources& context);

// The largest sample count the driver accepts for multisample renderbuffers
// (queried once, on the first call; needs a current GL context).
int maxRenderSamples();
