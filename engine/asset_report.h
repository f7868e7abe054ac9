// Developer asset list report: every loaded texture file with its size and id, the
// total image memory and the load time, the names sorted, and one copy of each
// distinct file into a collection folder. Works on DemoContext::textureList.
#pragma once
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/demo_context.h"

// Windows paths of the report and of the collection folder; open and copy at
// developerPath(...) of these.
constexpr const char* kAssetReportPath = "c://3dsjpglist4.txt";
constexpr const char* kAssetCollectionFolder = "C:/wellspring/";

// Copies `from` to `to` unless `to` exists; the result is not needed by the report.
using AssetCopier = std::function<void(const std::string& from, const std::string& to)>;

// Default copier: a plain file copy that never replaces an existing file and
// ignores every failure (missing folder or sub-folder, missing source).
void copyAssetFile(const std::string& from, const std::string& to);

// Writes the report to `out` (every line end flushed) and copies each distinct file
// name once, in sorted order, to collectionFolder + name. The list itself is left
// in load order. Returns the number of distinct names listed.
int writeAssetReport(std::ostream& out, const std::vector<TextureRecord>& textureList, double loadSeconds,
                     const std::string& collectionFolder, const AssetCopier& copy = copyAssetFile);

// Start-up's calls: open RuntimeState::reportStream on the report path before
// loading, and write the report (then close the stream) after the sound starts.
void openAssetReport(RuntimeState& state);
int writeAssetReport(RuntimeState& state, const DemoContext& context);
