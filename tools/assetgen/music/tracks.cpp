// Registers the two tracks with the asset generator: each entry renders, encodes and
// writes its MP3 when the generator asks for it.
#include "tools/assetgen/asset_registry.h"
#include "tools/assetgen/music/music.h"

#include <cstdio>

namespace {

bool reportFailure(const std::string& path, bool ok, const std::string& error)
{
    if (!ok)
        std::fprintf(stderr, "music: %s: %s\n", path.c_str(), error.c_str());
    return ok;
}

} // namespace

std::vector<AssetEntry> musicAssets()
{
    return {
        {"music/lanternsong.mp3",
         [](const std::string& fullPath) {
             std::string error;
             return reportFailure(fullPath, writeLanternsong(fullPath, &error), error);
         }},
        {"music/pencil_bassy.mp3",
         [](const std::string& fullPath) {
             std::string error;
             return reportFailure(fullPath, writePencilLoop(fullPath, &error), error);
         }},
    };
}
