// The search for the show's files over real folders: the working folder, the
// program's folder, its show/ folder and the installed layout of the Debian
// package (PREFIX/games/zoduv finding PREFIX/share/games/zoduv), in that order.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/show_folder.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "0\n";
}

} // namespace

TEST(ShowFolder, SearchTakesTheFirstFolderWithTheMarkerInItsOrder)
{
    const fs::path root = fs::temp_directory_path() / ("zoduv_show_folder_" + std::to_string(getpid()));
    fs::remove_all(root);
    const fs::path games = root / "usr" / "games";
    const fs::path installed = root / "usr" / "share" / "games" / "zoduv";
    const fs::path home = root / "home";
    fs::create_directories(games);
    fs::create_directories(home / "music"); // folders a home may hold under the same names
    fs::create_directories(home / "textures");

    struct Case {
        const char* what;
        std::vector<fs::path> markers;  // where newobjects/paths.pt is written
        std::vector<fs::path> folders;  // other folders made
        fs::path working;
        fs::path found;                 // empty: none
        size_t searched;
    } cases[] = {
        {"installed only, called from a home with music/ and textures/", {installed}, {}, home, installed, 4},
        {"the program's show/ folder before the installed one", {installed, games / "show"}, {}, home,
         games / "show", 3},
        {"the program's own folder first", {installed, games}, {}, home, games, 2},
        {"a working folder that holds the show", {installed, root / "copy"}, {}, root / "copy", root / "copy", 1},
        {"a damaged show folder is reported, not passed over", {installed}, {root / "damaged" / "newobjects"},
         root / "damaged", fs::path(), 1},
        {"nowhere", {}, {}, home, fs::path(), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(installed);
        fs::remove_all(games);
        fs::remove_all(root / "copy");
        fs::remove_all(root / "damaged");
        fs::create_directories(games);
        for (const fs::path& folder : c.markers)
            touch(folder / kShowFolderMarker);
        for (const fs::path& folder : c.folders)
            fs::create_directories(folder);

        const ShowFolderSearch search = findShowFolder(c.working.string(), games.string());
        EXPECT_EQ(search.found, c.found.string());
        ASSERT_EQ(search.searched.size(), c.searched);
        EXPECT_EQ(search.searched.front(), c.working.string());
        if (c.searched == 4) {
            EXPECT_EQ(search.searched.back(), installed.string());
            EXPECT_NE(showFolderMissingText(search).find(installed.string()), std::string::npos);
        }
    }
    fs::remove_all(root);

    EXPECT_NE(showFolderHelpText().find("/usr/share/games/zoduv"), std::string::npos) << showFolderHelpText();
}
