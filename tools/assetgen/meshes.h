// The show's meshes, modelled procedurally. Each builder returns the polygons in
// drawing order (the pencil follows that order) and in the size and place that the
// scene's placement of that mesh expects.
#pragma once
#include "tools/assetgen/mesh_kit.h"

#include <string>
#include <vector>

struct OutlineMeshInfo {
    const char* file;    // path below the show folder
    const char* subject; // what it shows
};
// Every outline mesh, in the order the generator writes them.
const std::vector<OutlineMeshInfo>& outlineMeshes();
// Builds one of them by its file path; an empty mesh for an unknown path.
Mesh buildOutlineMesh(const std::string& file);

// "newobjects/GoodAnt.obj": legs (one tripod), legs (the other), body.
std::vector<NamedMesh> buildWalkingAnt();
// "newobjects/vellumgood.obj": one tumbling acrobat, lit and drawn whole.
std::vector<NamedMesh> buildAcrobat();
