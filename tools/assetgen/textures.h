// The show's JPEG pictures: paper, hole mask, the two pencil drawings with their
// masks and shadows, the drawing hand and the graphite blot.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/image_kit.h"

// Paths below the show folder, in the order the generator writes them.
const std::vector<std::string>& textureFiles();
// JPEG bytes of one of them; empty for an unknown path.
std::vector<uint8_t> buildTexture(const std::string& file);

// Where the main pass puts the newest stroke point on the pencil picture, in
// texture coordinates with GL's bottom-left origin.
constexpr double kPencilTipU = 0.2369321 / 1.3756717;
constexpr double kPencilTipV = 0.6293569;
// The first pencil's body runs from the tip at this angle, counter-clockwise from +x.
constexpr double kPencilAngleDegrees = -9.0;

// The drawings behind the textures, for pictures made from the show's art (the
// icon): the paper tile, and the first pencil's colour and mask.
Image paperPicture();
void pencilPicture(Image& colour, Image& alpha);
