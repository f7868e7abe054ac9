// The texture table of the RenderResources and the operations that fill it: JPEG
// files (single, or a colour and alpha pair), a seeded noise texture and a random
// RGBA texture used as a render-target attachment. Decoding is formats/jpeg_decoder.
#pragma once
#include <cstdint>
#include <string>

#include "render/render_resources.h"

// Status of a fatal texture failure: a file that cannot be opened or decoded, or a
// colour and alpha pair whose images differ in size. A line on standard error says
// what is wrong, then a message box names the file that failed. A file whose data
// is damaged but still decodes is drawn as decoded, with a line on standard error.
constexpr int kTextureExitStatus = 3;

// RGB texture from one JPEG file; entered in textureList.
void loadJpegTexture(RenderResources& context, const std::string& path, int textureId);

// RGBA texture: colour from colourPath, alpha from the green byte of alphaPath (a
// grey mask gives its grey value). Only the colour file is entered in textureList.
void loadJpegTextureWithAlpha(RenderResources& context, const std::string& colourPath, const std::string& alphaPath,
                              int textureId);

// RGB noise that is the same on every run: it reseeds the process-wide generator.
void makeNoiseTexture(RenderResources& context, int textureId, int width, int height);

// RGBA texture of random bytes from the generator as earlier users left it.
void makeRenderTexture(RenderResources& context, int textureId, int width, int height);

// glBindTexture(GL_TEXTURE_2D, name of the id) on the active texture unit.
void bindTexture(RenderResources& context, int textureId);

// Uniform integer in 0..n (n included) from the process-wide generator.
int randomBelow(int n);

// True when textureBase + textureId names a slot of the table.
bool textureIdInTable(const RenderResources& context, int textureId);

// The GL name of texture id, or 0 (with one line on standard error) when the id
// lies outside the table.
uint32_t textureName(const RenderResources& context, int textureId);
