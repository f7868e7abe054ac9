// A small single-stroke lettering hand for the title and end texts: each letter is
// a few polylines on a baseline (cap height 1, x-height 0.62), slanted like
// handwriting, later swept into extruded ribbons.
#pragma once
#include "tools/assetgen/mesh_kit.h"

#include <string>
#include <vector>

// Polylines of `text` laid out from x = 0 on the baseline, one em tall; closed
// loops repeat their first point at the end. Letters outside the hand are skipped
// with a blank's advance. Returns the total advance in *width.
std::vector<std::vector<V3>> letterStrokes(const std::string& text, double slant, double* width);
