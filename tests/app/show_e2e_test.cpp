// The show end to end, under the virtual display of the test run: it starts from
// its asset folder, loads in the fixed order, draws frames and leaves by each of
// its exits with the documented status. Start-up failures run in a copy of the
// asset folder with one file removed or spoiled.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path kShowBinary = fs::path(ZUR_BINARY_DIR) / "zoduv";
const fs::path kShowDir = ZUR_SHOW_DIR;

struct RunResult {
    int status = -1;
    std::string out, err;
};


// Runs the show in `folder` with extra arguments and environment assignments.
// `shell` runs first in the same shell (a resource limit, say).
RunResult runShow(const fs::path& folder, const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {}, const std::string& shell = "",
                  const fs::path& binary = kShowBinary)
{
    static int counter = 0;
    fs::path outFile = fs::temp_directory_path() / ("zoduv_e2e_out_" + std::to_string(getpid()) + "_" + std::to_string(counter));
    fs::path errFile = fs::temp_directory_path() / ("zoduv_e2e_err_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::string command = "cd '" + folder.string() + "' && " + shell + "env SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no";
    for (const std::string& e : env)
        command += " '" + e + "'";
    command += " timeout 300 '" + binary.string() + "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    command += " >'" + outFile.string() + "' 2>'" + errFile.string() + "'";
    int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

bool haveShow()
{
    return fs::exists(kShowBinary) && fs::exists(kShowDir / "newobjects" / "paths.pt") && std::getenv("DISPLAY");
}

// A private copy of the asset folder (files are hard links where possible).
fs::path copyOfShowFolder(const std::string& name)
{
    fs::path copy = fs::temp_directory_path() / ("zoduv_e2e_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(copy);
    fs::copy(kShowDir, copy, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    return copy;
}

// Positions of the marks in the text, in order; -1 where one is missing or out of order.
bool inOrder(const std::string& text, const std::vector<std::string>& marks)
{
    size_t at = 0;
    for (const std::string& mark : marks) {
        size_t found = text.find(mark, at);
        if (found == std::string::npos)
            return false;
        at = found + mark.size();
    }
    return true;
}

class ShowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveShow())
            GTEST_SKIP() << "needs the built show, its generated assets and a display";
    }
};

} // namespace

TEST_F(ShowEndToEnd, EndsByItselfAfterLoadingInOrder)
{
    RunResult r = runShow(kShowDir, {"--no-dialog", "--fixed-step", "60", "--show-end", "1.5"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Progress marks of the scene's init, with the shader paths and logs between
    // "5" and "dd1".
    EXPECT_TRUE(inOrder(r.out, {"3\n", "4\n", "5\n", "PostProcessing/f_blurpass", "PostProcessing/f_simpleblur",
                                "PostProcessing/f_simpleblur", "PostProcessing/f_material1", "dd1\n", "111\n"}))
        << r.out;
    EXPECT_EQ(r.err.find("Cannot open"), std::string::npos) << r.err;
}

// Runs the show on a display of its own (a private virtual X server), then the
// shell commands `afterwards` on that display once the show has ended; their
// standard output goes to `after`. Nothing else can take the clipboard meanwhile.
RunResult runShowOnOwnDisplay(const std::vector<std::string>& args, const std::vector<std::string>& env,
                              const std::string& afterwards, std::string& after)
{
    const fs::path dir = fs::temp_directory_path() / ("zoduv_display_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string show = "cd '" + kShowDir.string() + "' && env SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no";
    for (const std::string& e : env)
        show += " '" + e + "'";
    show += " timeout 300 '" + kShowBinary.string() + "'";
    for (const std::string& a : args)
        show += " '" + a + "'";
    {
        std::ofstream script(dir / "run.sh");
        script << "(" << show << " >'" << (dir / "out").string() << "' 2>'" << (dir / "err").string() << "'; echo $? >'"
               << (dir / "status").string() << "')\n"
               << "(" << afterwards << ") >'" << (dir / "after").string() << "' 2>&1\n";
    }
    const std::string command = "xvfb-run -a -s '-screen 0 1280x800x24 -noreset' sh '" + (dir / "run.sh").string() + "'";
    std::system(command.c_str());
    RunResult result;
    const std::string status = readFile(dir / "status");
    result.status = status.empty() ? -1 : std::atoi(status.c_str());
    result.out = readFile(dir / "out");
    result.err = readFile(dir / "err");
    after = readFile(dir / "after");
    fs::remove_all(dir);
    return result;
}

TEST_F(ShowEndToEnd, EscapeFadesAndLeavesTheCapturedTextOnTheClipboard)
{
    // After the program has gone, other programs still read the text from the
    // clipboard (served by the keeper the program left behind, under its window
    // name), until one of them takes the clipboard: then the keeper leaves.
    const std::string afterwards =
        "echo '--text'; xclip -selection clipboard -o; echo; echo '--as STRING'; xclip -selection clipboard -o -t STRING;"
        "echo; echo '--targets'; xclip -selection clipboard -o -t TARGETS;"
        "echo '--keepers'; xdotool search --name '^zoduv clipboard$' | wc -l;"
        "echo taken | xclip -selection clipboard -i; for i in 1 2 3 4 5 6 7 8 9 10; do"
        "  [ \"$(xdotool search --name '^zoduv clipboard$' | wc -l)\" = 0 ] && break; sleep 0.3; done;"
        "echo '--keepers after'; xdotool search --name '^zoduv clipboard$' | wc -l; echo '--end'";
    std::string after;
    RunResult r = runShowOnOwnDisplay({"--no-dialog", "--size", "480x270", "--fixed-step", "60", "--no-sound"},
                                      {"ZUR_TEST_INPUT=0.2:mbutton,0.5:escape"}, afterwards, after);
    EXPECT_EQ(r.status, 0) << r.err;
    // Standard error holds the text as well.
    const std::string start = "Cam :0.,0.,0.  \nPnt :0.,0.,0.  \n \nMCr :";
    const size_t echoed = r.err.find("clipboard:\n" + start);
    ASSERT_NE(echoed, std::string::npos) << r.err;
    const size_t textEnd = r.err.find("\n", r.err.find("MCr :", echoed));
    const std::string text = r.err.substr(echoed + 11, textEnd - echoed - 11);
    EXPECT_NE(after.find("--text\n" + text), std::string::npos) << after << "\n" << r.err;
    EXPECT_NE(after.find("--as STRING\n" + text), std::string::npos) << after;
    EXPECT_NE(after.find("--targets\nTARGETS\nTIMESTAMP\nUTF8_STRING\nSTRING\nTEXT\n"), std::string::npos) << after;
    EXPECT_NE(after.find("--keepers\n1\n"), std::string::npos) << after;
    EXPECT_NE(after.find("--keepers after\n0\n--end"), std::string::npos) << after;
}

TEST_F(ShowEndToEnd, WindowCloseSkipsFadeAndClipboard)
{
    RunResult r = runShow(kShowDir, {"--no-dialog", "--fixed-step", "60"}, {"ZUR_TEST_INPUT=0.2:mbutton,0.5:close"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("clipboard:"), std::string::npos) << r.err;
}

TEST_F(ShowEndToEnd, StartupFailuresEndWithTheirStatus)
{
    struct Case {
        const char* name;
        const char* file;
        bool remove; // else: spoil it
        int status;
        const char* message;
    } cases[] = {
        {"keys", "newobjects/paths.pt", true, 2, "newobjects/paths.pt was looked for in"},
        {"texture", "textures/paper.jpg", false, 3, "[Jpg !] textures/paper.jpg"},
        {"pair", "textures/stroke_D_1_ALPHA.jpg", true, 3, "[Jpg !] textures/stroke_D_1_ALPHA.jpg"},
        {"ambient", "music/pencil_bassy.mp3", true, 4, "No sound file."},
    };
    for (const Case& c : cases) {
        fs::path folder = copyOfShowFolder(c.name);
        fs::path target = folder / c.file;
        fs::remove(target);
        if (!c.remove) {
            std::ofstream spoilt(target, std::ios::binary);
            spoilt << "this is not a picture";
        }
        RunResult r = runShow(folder, {"--no-dialog", "--fixed-step", "60", "--show-end", "1"});
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
        if (c.message) {
            EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << "\n" << r.err;
        }
        if (c.status == 2) {
            EXPECT_EQ(r.out.find("3\n"), std::string::npos) << "nothing loads without the camera keys";
        }
        fs::remove_all(folder);
    }
}


// Started from a folder without the show's files (a shortcut, a file manager), the
// show finds them beside its binary (build/show for a build) and writes its output
// files where it was called from; with no files anywhere it says which file it
// missed and where it looked.
TEST_F(ShowEndToEnd, StartedFromAnotherFolderFindsItsFilesOrSaysWhereItLooked)
{
    // The program in a folder of its own with the asset tree as its show/ folder,
    // as a build lays them out, called from a folder without the show's files.
    const fs::path elsewhere = fs::temp_directory_path() / ("zoduv_e2e_elsewhere_" + std::to_string(getpid()));
    const fs::path bin = elsewhere / "bin";
    fs::remove_all(elsewhere);
    fs::create_directories(bin);
    fs::copy_file(kShowBinary, bin / "zoduv");
    fs::create_directory_symlink(kShowDir, bin / "show");
    RunResult r = runShow(elsewhere, {"--no-dialog", "--fixed-step", "10", "--show-end", "1", "--screenshot",
                                      "0.5:shot.png"},
                          {}, "", bin / "zoduv");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(elsewhere / "shot.png")) << r.err;

    fs::remove(bin / "show");
    r = runShow(elsewhere, {"--no-dialog"}, {}, "", bin / "zoduv");
    EXPECT_EQ(r.status, 2) << r.err;
    for (const fs::path& named : {fs::path("newobjects/paths.pt"), elsewhere, bin, bin / "show"})
        EXPECT_NE(r.err.find(named.string()), std::string::npos) << named << "\n" << r.err;
    fs::remove_all(elsewhere);
}

// How an asset is damaged in a copy of the asset folder. The copy's files are hard
// links, so a file is always removed before its damaged stand-in is written.
enum class Damage { folder, fifo, missing, empty, half, corrupt, garbage };

void damage(const fs::path& file, Damage how)
{
    const std::string bytes = readFile(file);
    fs::remove(file);
    switch (how) {
    case Damage::folder: fs::create_directory(file); break;
    case Damage::fifo: ASSERT_EQ(mkfifo(file.c_str(), 0644), 0); break;
    case Damage::missing: break;
    case Damage::empty: std::ofstream(file, std::ios::binary).flush(); break;
    case Damage::half: // an odd length, so no whole number of fixed-size records
        std::ofstream(file, std::ios::binary) << bytes.substr(0, bytes.size() / 2 | 1);
        break;
    case Damage::corrupt: {
        // One byte in 2000 changed, the first 2000 (the headers) left alone.
        std::string spoilt = bytes;
        for (size_t i = 2000; i < spoilt.size(); i += 2000)
            spoilt[i] = static_cast<char>(spoilt[i] ^ 0x5A);
        std::ofstream(file, std::ios::binary) << spoilt;
        break;
    }
    case Damage::garbage: std::ofstream(file, std::ios::binary) << "void main() { this is not a shader }\n"; break;
    }
}

// Lines that name damaged assets; an undamaged show prints none of them.
const char* const kDamageWords[] = {"does not exist", "is a folder", "is not a regular file", "holds no faces",
                                    "ends inside", "ends early", "is corrupt", "does not compile", "too few",
                                    "Cannot open"};

TEST_F(ShowEndToEnd, DamagedAssetsAreNamedAndNeverAbort)
{
    struct Case {
        const char* file;
        Damage how;
        int status;          // what the show gives for it (a folder or FIFO as for a missing file)
        const char* message; // on standard error
    } cases[] = {
        {"music/pencil_bassy.mp3", Damage::folder, 4, "music/pencil_bassy.mp3 is a folder"},
        {"music/lanternsong.mp3", Damage::folder, 0, "music/lanternsong.mp3 is a folder"},
        {"music/lanternsong.mp3", Damage::fifo, 0, "music/lanternsong.mp3 is not a regular file"},
        {"music/lanternsong.mp3", Damage::half, 0, "music/lanternsong.mp3 ends early"},
        {"music/pencil_bassy.mp3", Damage::corrupt, 0, "music/pencil_bassy.mp3: "},
        {"newobjects/GoodAnt.obj", Damage::folder, 0, "newobjects/GoodAnt.obj is a folder"},
        {"newobjects/vellumgood.obj", Damage::folder, 0, "newobjects/vellumgood.obj is a folder"},
        {"newobjects/title.obj", Damage::missing, 0, "newobjects/title.obj does not exist"},
        {"newobjects/woman.obj", Damage::empty, 0, "newobjects/woman.obj holds no faces"},
        {"newobjects/title.obj", Damage::half, 0, "newobjects/title.obj ends inside a line"},
        {"newobjects/GoodAnt.obj", Damage::corrupt, 0, "newobjects/GoodAnt.obj: "},
        {"newobjects/woman.obj", Damage::corrupt, 0, "lines are not OBJ as written: the data is corrupt there"},
        {"newobjects/paths.pt", Damage::folder, 2, "newobjects/paths.pt is a folder"},
        {"textures/stroke_D_2_ALPHA.jpg", Damage::half, 0, "textures/stroke_D_2_ALPHA.jpg: the data ends early"},
        {"textures/paper.jpg", Damage::corrupt, 0, "textures/paper.jpg: the data is corrupt"},
        {"textures/paper.jpg", Damage::fifo, 3, "textures/paper.jpg is not a regular file"},
        {"try1.sav", Damage::missing, 0, "try1.sav does not exist; the show plays without the hand-held sway"},
        {"try1.sav", Damage::half, 0, "try1.sav ends inside a record"},
        {"PostProcessing/f_material1.glsl", Damage::folder, 0, "shader: PostProcessing/f_material1.glsl is a folder"},
        {"PostProcessing/f_blurpass.glsl", Damage::garbage, 0,
         "shader: PostProcessing/f_blurpass.glsl does not compile"},
    };
    // What start-up reports is what counts: a small picture without multisampling
    // keeps each of these runs short.
    const std::vector<std::string> args = {"--no-dialog", "--size", "64x36", "--no-aa",
                                           "--fixed-step", "60", "--show-end", "0.5"};
    RunResult intact = runShow(kShowDir, args);
    ASSERT_EQ(intact.status, 0) << intact.err;
    for (const char* word : kDamageWords)
        EXPECT_EQ(intact.err.find(word), std::string::npos) << word << "\n" << intact.err;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        fs::path folder = copyOfShowFolder("damaged");
        damage(folder / c.file, c.how);
        RunResult r = runShow(folder, args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
        if (std::string(c.file).find(".glsl") != std::string::npos && c.how == Damage::folder) {
            EXPECT_NE(r.out.find("Cannot open shader source file."), std::string::npos) << r.out;
        }
        fs::remove_all(folder);
    }
}

// Mean grey level (0 to 255) of a picture file, as ffmpeg reads it.
int meanGrey(const fs::path& picture)
{
    return std::atoi(commandOutput("ffmpeg -v error -i '" + picture.string() +
                                   "' -vf scale=1:1,format=gray -f rawvideo - | od -An -tu1").c_str());
}

TEST_F(ShowEndToEnd, GarbageCameraDataIsLeftOutAndTheShowPlays)
{
    // A hand-held recording of random bytes, and a key file with a plausible count
    // whose records hold values no camera can use, at random times.
    fs::path folder = copyOfShowFolder("garbage");
    uint32_t state = 2024;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    fs::remove(folder / "try1.sav"); // the copy's files are links to the originals
    {
        std::ofstream noise(folder / "try1.sav", std::ios::binary);
        for (int i = 0; i < 28 * 2000; ++i)
            noise.put(static_cast<char>(next() >> 24));
    }
    fs::remove(folder / "newobjects" / "paths.pt");
    {
        std::ofstream keys(folder / "newobjects" / "paths.pt", std::ios::binary);
        const int32_t count = 40;
        keys.write(reinterpret_cast<const char*>(&count), 4);
        const double absurd[] = {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e30, -7e8, 3e5};
        for (int k = 0; k < count; ++k) {
            double record[7];
            for (int i = 0; i < 6; ++i)
                record[i] = absurd[next() % 6];
            record[6] = (next() >> 8) % 300;
            keys.write(reinterpret_cast<const char*>(record), sizeof record);
        }
    }
    fs::path shot = folder / "shot.png";
    RunResult r = runShow(folder, {"--no-dialog", "--size", "480x270", "--fixed-step", "30", "--show-end", "3.1",
                                   "--screenshot", "3:" + shot.string(), "--no-sound"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(meanGrey(shot), 150) << "the camera should still see the paper\n" << r.err;
    EXPECT_NE(r.err.find("newobjects/paths.pt: 40 of 40 camera keys left out"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("try1.sav: hand-held recording left out"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3) << "one line each, and the screenshot's\n" << r.err;
    fs::remove_all(folder);
}

TEST_F(ShowEndToEnd, SizesBeyondMemoryEndWithTheAllocationStatus)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under an address-space limit";
#endif
    // Under a 4 GB address-space limit the render targets of a 16384 x 16384 show
    // cannot be had, with antialiasing or without: a message box, then status 5.
    for (bool antialiased : {false, true}) {
        SCOPED_TRACE(antialiased ? "antialiased" : "not antialiased");
        std::vector<std::string> args = {"--no-dialog", "--size", "16384x16384", "--no-sound", "--fixed-step", "30",
                                         "--show-end", "0.5"};
        if (!antialiased)
            args.push_back("--no-aa");
        RunResult r = runShow(kShowDir, args, {}, "ulimit -v 4000000 && ");
        EXPECT_EQ(r.status, 5) << r.err;
        EXPECT_NE(r.err.find("[ERROR] Cannot make the render target of 16384 x 16384 pixels"), std::string::npos)
            << r.err;
    }
}

TEST_F(ShowEndToEnd, MissingMusicTrackIsNotFatal)
{
    fs::path folder = copyOfShowFolder("music");
    fs::remove(folder / "music" / "lanternsong.mp3");
    RunResult r = runShow(folder, {"--no-dialog", "--size", "64x36", "--no-aa", "--fixed-step", "60", "--show-end", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove_all(folder);
}

TEST_F(ShowEndToEnd, ScreenshotAndCaptureHoldTheShow)
{
    fs::path dir = fs::temp_directory_path() / ("zoduv_rec_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path shot = dir / "shot.png";
    fs::path video = dir / "show.mp4";
    RunResult r = runShow(kShowDir, {"--no-dialog", "--size", "640x360", "--show-end", "2", "--screenshot",
                                     "1.5:" + shot.string(), "--capture", video.string()});
    ASSERT_EQ(r.status, 0) << r.err;

    // The screenshot, read back by ffmpeg: 640 x 360, mostly paper (light), not black.
    ASSERT_TRUE(fs::exists(shot)) << r.err;
    std::string probe = commandOutput("ffprobe -v error -select_streams v:0 -show_entries stream=width,height "
                                      "-of csv=p=0 '" + shot.string() + "'");
    EXPECT_EQ(probe, "640,360\n");
    std::string mean = commandOutput("ffmpeg -v error -i '" + shot.string() +
                                     "' -vf scale=1:1,format=gray -f rawvideo - | od -An -tu1");
    EXPECT_GT(std::atoi(mean.c_str()), 150) << "the paper should fill most of the picture";

    // The capture: two seconds of 60 frames a second with the show's sound.
    ASSERT_TRUE(fs::exists(video)) << r.err;
    std::string streams = commandOutput("ffprobe -v error -show_entries stream=codec_type,width,height,nb_frames "
                                        "-of csv=p=0 '" + video.string() + "'");
    EXPECT_NE(streams.find("video,640,360"), std::string::npos) << streams;
    EXPECT_NE(streams.find("audio"), std::string::npos) << streams;
    double duration = std::atof(commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                                              video.string() + "'").c_str());
    EXPECT_NEAR(duration, 2.0, 0.15);
    // The sound track holds the music (mixed by the show, not silence).
    std::string levels = commandOutput("ffmpeg -v info -i '" + video.string() +
                                       "' -af volumedetect -f null - 2>&1 | grep max_volume");
    size_t at = levels.find("max_volume:");
    ASSERT_NE(at, std::string::npos) << levels;
    EXPECT_GT(std::atof(levels.c_str() + at + 11), -40.0) << levels;
    fs::remove_all(dir);
}

// The lag (in samples, within +-maxLag) at which `later` best matches `source`:
// later[i] ~ source[i + lag].
int bestLag(const std::vector<double>& source, const std::vector<double>& later, int maxLag)
{
    int best = 0;
    double bestScore = -2.0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double dot = 0, a = 0, b = 0;
        for (size_t i = static_cast<size_t>(maxLag); i + maxLag < later.size(); ++i) {
            const size_t j = i + lag;
            if (j >= source.size())
                break;
            dot += later[i] * source[j];
            a += later[i] * later[i];
            b += source[j] * source[j];
        }
        const double score = (a > 0 && b > 0) ? dot / std::sqrt(a * b) : -1.0;
        if (score > bestScore)
            bestScore = score, best = lag;
    }
    return best;
}

TEST_F(ShowEndToEnd, CapturedSoundIsInStepWithThePictures)
{
    // At 30 frames a second the first picture shows show time 1/30 s, so the
    // video must open on the music 1/30 s (1470 samples) into the track. Before
    // 2 s the pencil loop is silent and the music plays alone; ffmpeg's own
    // decoding of the track is the reference.
    fs::path dir = fs::temp_directory_path() / ("zoduv_sync_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path video = dir / "sync.mp4";
    RunResult r = runShow(kShowDir, {"--no-dialog", "--size", "320x180", "--show-end", "1.5", "--fixed-step", "30",
                                     "--capture", video.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> captured = decodedSound(video, 1.2);
    std::vector<double> music = decodedSound(kShowDir / "music" / "lanternsong.mp3", 1.4);
    ASSERT_GT(captured.size(), 44100u) << r.err;
    ASSERT_GT(music.size(), 44100u);
    EXPECT_NEAR(bestLag(music, captured, 3000), 1470, 4);
    // Both streams last as long as the pictures: 45 frames (the show ends after 1.5 s).
    std::string lengths = commandOutput("ffprobe -v error -show_entries stream=codec_type,duration -of csv=p=0 '" +
                                        video.string() + "'");
    double videoSeconds = 0, audioSeconds = 0;
    std::istringstream lines(lengths);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("video,", 0) == 0)
            videoSeconds = std::atof(line.c_str() + 6);
        if (line.rfind("audio,", 0) == 0)
            audioSeconds = std::atof(line.c_str() + 6);
    }
    EXPECT_NEAR(videoSeconds, 1.5, 0.05) << lengths;
    EXPECT_NEAR(audioSeconds, videoSeconds, 0.03) << lengths;
    fs::remove_all(dir);
}

TEST_F(ShowEndToEnd, CaptureSurvivesAMissingOrFailingEncoder)
{
    fs::path dir = fs::temp_directory_path() / ("zoduv_noenc_" + std::to_string(getpid()));
    fs::create_directories(dir / "bare");
    fs::create_directories(dir / "failing");
    // No ffmpeg on the search path (only the `timeout` the test runner needs):
    // the show refuses to start rather than play without recording.
    fs::create_symlink("/usr/bin/timeout", dir / "bare" / "timeout");
    RunResult missing = runShow(kShowDir, {"--no-dialog", "--show-end", "1", "--capture", (dir / "a.mp4").string()},
                                {"PATH=" + (dir / "bare").string()});
    EXPECT_EQ(missing.status, 1) << missing.err;
    EXPECT_NE(missing.err.find("ffmpeg is not installed"), std::string::npos) << missing.err;

    // An ffmpeg that exits at once: the broken pipe ends the recording, the show
    // plays on to its end, and the status says the recording was not made.
    {
        std::ofstream script(dir / "failing" / "ffmpeg");
        script << "#!/bin/sh\nexit 1\n";
    }
    fs::permissions(dir / "failing" / "ffmpeg", fs::perms::owner_all);
    RunResult failing = runShow(kShowDir, {"--no-dialog", "--size", "320x180", "--show-end", "1", "--capture",
                                           (dir / "b.mp4").string()},
                                {"PATH=" + (dir / "failing").string() + ":/usr/bin:/bin"});
    EXPECT_EQ(failing.status, 6) << failing.err;
    EXPECT_NE(failing.err.find("ffmpeg stopped taking frames"), std::string::npos) << failing.err;
    EXPECT_NE(failing.err.find("muxing failed"), std::string::npos) << failing.err;
    EXPECT_FALSE(fs::exists(dir / "b.mp4"));
    fs::remove_all(dir);
}

TEST_F(ShowEndToEnd, SameTimeSamePictureOnEveryRun)
{
    // Two runs, one with sound and one without: the generator is seeded from the
    // show time alone, so the frames at the same show time are the same bytes.
    fs::path dir = fs::temp_directory_path() / ("zoduv_same_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<std::string> pictures;
    for (bool withSound : {true, false}) {
        fs::path shot = dir / (withSound ? "sound.png" : "silent.png");
        std::vector<std::string> args = {"--no-dialog", "--size", "480x270", "--show-end", "3.1", "--screenshot",
                                         "3:" + shot.string(), "--fixed-step", "30"};
        if (!withSound)
            args.push_back("--no-sound");
        RunResult r = runShow(kShowDir, args);
        ASSERT_EQ(r.status, 0) << r.err;
        pictures.push_back(commandOutput("ffmpeg -v error -i '" + shot.string() + "' -f rawvideo -pix_fmt rgb24 - | md5sum"));
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(pictures[0].size(), 36u); // an md5sum line: the frame was decoded
    fs::remove_all(dir);
}

TEST(CommandLineExit, UnknownOptionIsAUsageError)
{
    if (!fs::exists(kShowBinary))
        GTEST_SKIP();
    RunResult r = runShow(fs::temp_directory_path(), {"--frobnicate"});
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find("--frobnicate"), std::string::npos);
    RunResult help = runShow(fs::temp_directory_path(), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--fixed-step"), std::string::npos);
}
