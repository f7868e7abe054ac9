// The two tracks of the show, rendered by the asset generator: "music/lanternsong.mp3"
// (the score in score.cpp through the engine in synth.h) and "music/pencil_bassy.mp3"
// (a seamless loop of pencil scratching). Rendering is deterministic.
#pragma once
#include "tools/assetgen/music/synth.h"

#include <string>

constexpr double kPencilLoopSeconds = 128.0; // the show starts playing it 50 s in
constexpr int kMp3Kbps = 192;

void renderLanternsong(StereoBuffer& out);
void renderPencilLoop(StereoBuffer& out);

// Render, encode and write one track; false (with a reason) on failure.
bool writeLanternsong(const std::string& path, std::string* error = nullptr);
bool writePencilLoop(const std::string& path, std::string* error = nullptr);
