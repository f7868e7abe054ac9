// Developer asset list report.
#include "engine/asset_report.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "engine/dev_caption.h"

namespace {

enum AssetKind : int32_t { kJpegTexture = 0, kMesh = 1 };

struct SortedName {
    std::string name;
    int32_t kind;
};

// Lists the distinct names of one kind ("Name  : ..."), copying each once.
int listDistinct(std::ostream& out, const std::vector<SortedName>& sorted, int32_t kind,
                 const std::string& folder, const AssetCopier& copy)
{
    int listed = 0;
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (sorted[i].kind != kind)
            continue;
        // Sorted, so an equal name can only sit right before this one.
        if (i > 0 && sorted[i - 1].name == sorted[i].name)
            continue;
        out << "Name  : " << sorted[i].name << std::endl;
        ++listed;
        copy(sorted[i].name, folder + sorted[i].name);
    }
    return listed;
}

} // namespace

void copyAssetFile(const std::string& from, const std::string& to)
{
    std::error_code ignored;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, ignored);
}

int writeAssetReport(std::ostream& out, const std::vector<TextureRecord>& textureList, double loadSeconds,
                     const std::string& collectionFolder, const AssetCopier& copy)
{
    // 64-bit: a few hundred large textures overflow a 32-bit byte count.
    int64_t bytes = 0;
    out << std::endl << "-- JPG LIST" << std::endl;
    for (const TextureRecord& record : textureList) {
        if (record.kind != kJpegTexture)
            continue;
        out << record.name << " (" << record.width << "," << record.height << ") @ " << record.textureId
            << " position. " << std::endl;
        bytes += int64_t{record.width} * record.height * 3;
    }
    out << std::endl << "-- 3DS LIST" << std::endl;
    for (const TextureRecord& record : textureList) {
        if (record.kind != kMesh)
            continue;
        out << record.name << " " << record.textureId << " position. " << std::endl;
        bytes += int64_t{record.width} * record.height * 3;
    }
    out << std::endl;
    out << "Total : " << textureList.size() << " files,  " << bytes << " bytes" << std::endl;
    out << "Loadtime :" << loadSeconds << std::endl;
    out << std::endl;

    // Sorting a copy of (name, kind) leaves the texture list in load order.
    std::vector<SortedName> sorted;
    sorted.reserve(textureList.size());
    for (const TextureRecord& record : textureList)
        sorted.push_back({record.name, record.kind});
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SortedName& a, const SortedName& b) { return a.name < b.name; });

    out << "-- JPG Sorted" << std::endl;
    for (const SortedName& entry : sorted)
        if (entry.kind == kJpegTexture)
            out << "Name  : " << entry.name << std::endl;

    out << std::endl << "-- JPG LIST" << std::endl;
    int listed = listDistinct(out, sorted, kJpegTexture, collectionFolder, copy);
    out << std::endl << "-- 3DS LIST" << std::endl;
    listed += listDistinct(out, sorted, kMesh, collectionFolder, copy);
    out << std::endl << "Total sorted : " << listed;
    out.flush();
    return listed;
}

void openAssetReport(RuntimeState& state)
{
    if (state.reportStream.is_open())
        state.reportStream.close();
    state.reportStream.clear();
    state.reportStream.open(developerPath(kAssetReportPath), std::ios::out | std::ios::trunc);
}

int writeAssetReport(RuntimeState& state, const DemoContext& context)
{
    int listed = writeAssetReport(state.reportStream, context.textureList, state.loadSeconds,
                                  developerPath(kAssetCollectionFolder));
    state.reportStream.close();
    return listed;
}
