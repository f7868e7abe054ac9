// The Debian package (tools/debian/package.sh; ./test.sh writes it to build/package)
// unpacked into a fresh root as dpkg installs it. The installed program, called
// from a folder that holds none of its files, finds them in that root's
// /usr/share/games/zoduv and draws the frame the build draws; the control data
// names the package of every library the program links (looked up with ldconfig
// and dpkg, not taken from dpkg-shlibdeps), and the menu entry finds its icon.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPackageDir = fs::path(ZUR_BINARY_DIR) / "package";

fs::path builtPackage()
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(kPackageDir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("zoduv_", 0) == 0 && entry.path().extension() == ".deb")
            return entry.path();
    }
    return {};
}

int run(const std::string& command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// A fresh root with the package unpacked into it, removed at the end.
class DebianPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (run("command -v dpkg-deb >/dev/null") != 0)
            GTEST_SKIP() << "dpkg-deb is missing: the Debian package is not tested";
        deb = builtPackage();
        if (deb.empty())
            GTEST_SKIP() << "no package in " << kPackageDir << ": tools/debian/package.sh " << kPackageDir
                         << " makes it";
        scratch = fs::temp_directory_path() / ("zoduv_deb_" + std::to_string(getpid()));
        fs::remove_all(scratch);
        root = scratch / "root";
        fs::create_directories(root);
        ASSERT_EQ(run("dpkg -x " + quoted(deb) + " " + quoted(root)), 0);
    }
    void TearDown() override
    {
        if (!scratch.empty())
            fs::remove_all(scratch);
    }
    fs::path deb, scratch, root;
};

} // namespace

TEST_F(DebianPackage, InstalledProgramPlaysFromAnotherFolderAndDrawsTheBuildsFrame)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs a display";
    const fs::path program = root / "usr/games/zoduv";
    ASSERT_TRUE(fs::is_regular_file(root / "usr/share/games/zoduv/newobjects/paths.pt"));
    const fs::path elsewhere = scratch / "elsewhere";
    fs::create_directories(elsewhere);

    const std::string args = " --no-dialog --no-sound --show-end 2 --size 320x180 --fixed-step 30 --screenshot 1:";
    const std::string env = "env SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no timeout 300 ";
    const fs::path installedShot = elsewhere / "installed.png", builtShot = scratch / "built.png";
    ASSERT_EQ(run("cd " + quoted(elsewhere) + " && " + env + quoted(program) + args + "installed.png >/dev/null"), 0);
    ASSERT_EQ(run("cd " + quoted(ZUR_SHOW_DIR) + " && " + env + quoted(fs::path(ZUR_BINARY_DIR) / "zoduv") + args +
                  quoted(builtShot) + " >/dev/null"),
              0);
    // The same code on the same files: the same pixels.
    const std::string decode = "ffmpeg -v error -f png_pipe -i ";
    const std::string installed = commandOutput(decode + quoted(installedShot) + " -f rawvideo -pix_fmt rgb24 - | md5sum");
    const std::string built = commandOutput(decode + quoted(builtShot) + " -f rawvideo -pix_fmt rgb24 - | md5sum");
    EXPECT_EQ(installed.size(), 36u) << "no frame decoded from " << installedShot;
    EXPECT_EQ(installed, built);

    const std::string help = commandOutput(quoted(program) + " --help");
    EXPECT_NE(help.find("/usr/share/games/zoduv"), std::string::npos) << help;
    const std::string manual = commandOutput("gzip -dc " + quoted(root / "usr/share/man/man6/zoduv.6.gz"));
    EXPECT_NE(manual.find("/usr/share/games/zoduv"), std::string::npos) << "the manual page is made from --help";
    EXPECT_NE(manual.find("no\\-dialog"), std::string::npos);
}

TEST_F(DebianPackage, DependsOnThePackageOfEveryLinkedLibraryAndTheMenuFindsItsIcon)
{
    // The names in Depends, between spaces: "libc6 (>= 2.35), libglu1-mesa | libglu1, ..."
    std::string depends = " " + commandOutput("dpkg-deb -f " + quoted(deb) + " Depends");
    for (char& c : depends)
        if (c == ',' || c == '|' || c == '(' || c == ')' || c == '\n')
            c = ' ';
    std::istringstream needed(commandOutput("objdump -p " + quoted(root / "usr/games/zoduv") +
                                            " | awk '/NEEDED/ {print $2}'"));
    int libraries = 0;
    for (std::string soname; needed >> soname; ++libraries) {
        SCOPED_TRACE(soname);
        // Where the loader finds it, then the package that holds that file (merged
        // /usr: the package may list it under /usr/lib).
        const std::string path = commandOutput("ldconfig -p | awk -v s=" + soname +
                                               " '$1 == s && /x86-64/ {print $NF; exit}'");
        ASSERT_FALSE(path.empty());
        std::string owner = commandOutput("p=" + path.substr(0, path.size() - 1) +
                                          "; { dpkg -S \"$p\" || dpkg -S \"/usr$p\"; } 2>/dev/null | head -1");
        owner = owner.substr(0, owner.find_first_of(":,"));
        ASSERT_FALSE(owner.empty());
        EXPECT_NE(depends.find(" " + owner + " "), std::string::npos) << owner << " not in" << depends;
    }
    EXPECT_GE(libraries, 8) << "SDL, GL, GLEW, GLU, GTK, mpg123, FreeType, libpng and the C++ runtime";
    EXPECT_EQ(commandOutput("dpkg-deb -f " + quoted(deb) + " Recommends"), "ffmpeg\n");

    const std::string entry = readFile(root / "usr/share/applications/zoduv.desktop");
    EXPECT_NE(entry.find("\nExec=zoduv\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=zoduv\n"), std::string::npos) << entry;
    // Each icon decodes at its size, transparent in the corner and opaque in the middle.
    for (int size : {32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const std::string side = std::to_string(size);
        const fs::path icon = root / ("usr/share/icons/hicolor/" + side + "x" + side + "/apps/zoduv.png");
        std::string rgba = commandOutput("ffmpeg -v error -f png_pipe -i " + quoted(icon) +
                                         " -f rawvideo -pix_fmt rgba -");
        ASSERT_EQ(rgba.size(), 4u * size * size);
        EXPECT_EQ(static_cast<unsigned char>(rgba[3]), 0u);
        EXPECT_EQ(static_cast<unsigned char>(rgba[4 * (size / 2 * size + size / 2) + 3]), 255u);
    }
}
