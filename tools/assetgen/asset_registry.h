// Every file the asset generator can write, by its path relative to the show folder.
// Visual assets and the two music tracks register here; the generator's main writes
// all of them, or only the ones named on its command line. The packages' own files
// (the icon) are written only when named.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct AssetEntry {
    std::string path;                                    // e.g. "textures/paper.jpg"
    std::function<bool(const std::string& fullPath)> write; // writes the file; false on failure
};

std::vector<AssetEntry> visualAssets(); // meshes, textures, shaders, camera keys, hand-held recording
std::vector<AssetEntry> musicAssets();  // "music/lanternsong.mp3", "music/pencil_bassy.mp3"
std::vector<AssetEntry> packageAssets(); // "icons/hicolor/SxS/apps/zoduv.png", relative to a share/ folder
