// Draws ObjMesh objects with GL client-side vertex arrays straight from the
// interleaved records (no buffer objects); colour, texture and shader state are
// the caller's.
#pragma once
#include "formats/obj_mesh.h"

// Negative: every object; otherwise that object only; no object: nothing.
void drawMesh(const ObjMesh& mesh, int objectIndex);
