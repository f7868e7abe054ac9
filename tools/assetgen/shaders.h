// Texts of the three fragment programs (GLSL 1.20, fixed-function vertex stage).
#pragma once
#include <string>
#include <vector>

// "PostProcessing/f_material1.glsl" and the others, in writing order.
const std::vector<std::string>& shaderFiles();
std::string shaderText(const std::string& file); // empty for an unknown path
