// Finding the show's asset folder (see show_folder.h).
#include "app/show_folder.h"

#include <filesystem>
#include <system_error>

#include "app/command_line.h"

namespace fs = std::filesystem;

const char* const kShowFolderMarker = "newobjects/paths.pt";

namespace {

const char* const kAssetFolders[] = {"newobjects", "textures", "music", "PostProcessing"};

// Paths are UTF-8 on every platform; Windows' narrow paths would be the ANSI code page.
fs::path pathOf(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

bool isFolder(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

bool isFile(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

void anchor(std::string& file, const std::string& from)
{
    if (file.empty() || pathOf(file).is_absolute())
        return;
    const std::u8string joined = (pathOf(from) / pathOf(file)).u8string();
    file.assign(joined.begin(), joined.end());
}

} // namespace

ShowFolderSearch findShowFolder(const std::string& workingFolder, const std::string& programFolder)
{
    ShowFolderSearch search;
    search.searched.push_back(workingFolder);
    for (const char* folder : kAssetFolders)
        if (isFolder(pathOf(workingFolder) / folder)) {
            if (isFile(pathOf(workingFolder) / kShowFolderMarker))
                search.found = workingFolder;
            return search;
        }
    if (programFolder.empty())
        return search;
    for (const fs::path& candidate : {pathOf(programFolder), pathOf(programFolder) / "show"}) {
        const std::u8string name = candidate.lexically_normal().u8string();
        search.searched.emplace_back(name.begin(), name.end());
        if (isFile(candidate / kShowFolderMarker)) {
            search.found = search.searched.back();
            return search;
        }
    }
    return search;
}

std::string showFolderMissingText(const ShowFolderSearch& search)
{
    std::string text = std::string("The show's files are missing: ") + kShowFolderMarker + " was looked for in";
    for (size_t i = 0; i < search.searched.size(); ++i)
        text += (i == 0 ? " " : i + 1 == search.searched.size() ? " and " : ", ") + search.searched[i];
    return text + ".";
}

void anchorOutputFiles(CommandLine& line, const std::string& from)
{
    for (ScreenshotRequest& shot : line.screenshots)
        anchor(shot.file, from);
    anchor(line.capture, from);
    anchor(line.benchmarkFile, from);
}
