// Finding the show's asset folder (see show_folder.h).
#include "app/show_folder.h"

#include <filesystem>
#include <system_error>

#include "app/command_line.h"

namespace fs = std::filesystem;

const char* const kShowFolderMarker = "newobjects/paths.pt";

namespace {

// Folder names that only this show's tree has. A working folder with "music" or
// "textures" of its own (a home folder, say) is no damaged show folder: the
// search goes on past it.
const char* const kAssetFolders[] = {"newobjects", "PostProcessing"};

// Relative to the program's folder; empty where the platform installs nothing.
const char* const kInstalledShowFolder = ZUR_INSTALLED_SHOW_FOLDER;

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
            // Whatever stands under the marker's name is the camera-key reader's to judge.
            std::error_code error;
            if (fs::exists(pathOf(workingFolder) / kShowFolderMarker, error))
                search.found = workingFolder;
            return search;
        }
    if (programFolder.empty())
        return search;
    std::vector<fs::path> candidates = {pathOf(programFolder), pathOf(programFolder) / "show"};
    if (*kInstalledShowFolder)
        candidates.push_back(pathOf(programFolder) / kInstalledShowFolder);
    for (const fs::path& candidate : candidates) {
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

std::string showFolderHelpText()
{
    std::string text = "Files:\n"
                       "  The show's files (newobjects/, textures/, music/, ...) are taken from the\n"
                       "  working folder when it holds them, else from the program's folder or its\n"
                       "  show/ folder";
    if (!*kInstalledShowFolder)
        return text + ".\n";
    const std::u8string installed = (fs::path(u8"/usr/games") / pathOf(kInstalledShowFolder)).lexically_normal().u8string();
    return text + ", or from " + kInstalledShowFolder + " seen from the program's\n  folder (" +
           std::string(installed.begin(), installed.end()) + " for the installed /usr/games/zoduv).\n";
}

void anchorOutputFiles(CommandLine& line, const std::string& from)
{
    for (ScreenshotRequest& shot : line.screenshots)
        anchor(shot.file, from);
    anchor(line.capture, from);
    anchor(line.benchmarkFile, from);
}
