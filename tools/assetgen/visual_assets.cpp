// The registry of visual assets: meshes, textures, fragment programs and the two
// camera data files, each written whole by its own builder.
#include "tools/assetgen/asset_registry.h"

#include "tools/assetgen/data_files.h"
#include "tools/assetgen/mesh_kit.h"
#include "tools/assetgen/meshes.h"
#include "tools/assetgen/shaders.h"
#include "tools/assetgen/textures.h"

std::vector<AssetEntry> visualAssets()
{
    std::vector<AssetEntry> list;
    for (const OutlineMeshInfo& info : outlineMeshes()) {
        std::string file = info.file, subject = info.subject;
        list.push_back({file, [file, subject](const std::string& full) {
                            Mesh m = buildOutlineMesh(file);
                            std::string title = file.substr(file.rfind('/') + 1) + ": " + subject + ", " +
                                                std::to_string(m.faces.size()) + " polygons";
                            return !m.faces.empty() && writeFile(full, outlineObjText(m, title));
                        }});
    }
    list.push_back({"newobjects/GoodAnt.obj", [](const std::string& full) {
                        return writeFile(full, drawnObjText(buildWalkingAnt(), "GoodAnt.obj: walking ant"));
                    }});
    list.push_back({"newobjects/vellumgood.obj", [](const std::string& full) {
                        return writeFile(full, drawnObjText(buildAcrobat(), "vellumgood.obj: tumbling acrobat"));
                    }});
    for (const std::string& file : textureFiles())
        list.push_back({file, [file](const std::string& full) {
                            std::vector<uint8_t> bytes = buildTexture(file);
                            return !bytes.empty() && writeFile(full, bytes);
                        }});
    for (const std::string& file : shaderFiles())
        list.push_back({file, [file](const std::string& full) { return writeFile(full, shaderText(file)); }});
    list.push_back({"newobjects/paths.pt", [](const std::string& full) { return writeFile(full, cameraKeyFile()); }});
    list.push_back({"try1.sav", [](const std::string& full) { return writeFile(full, handheldRecording()); }});
    return list;
}
