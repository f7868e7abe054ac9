// The show end to end, under the virtual display of the test run: it starts from
// its asset folder, loads in the fixed order, draws frames and leaves by each of
// its exits with the documented status. Start-up failures run in a copy of the
// asset folder with one file removed or spoiled.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kShowBinary = fs::path(ZUR_BINARY_DIR) / "zoduv";
const fs::path kShowDir = ZUR_SHOW_DIR;

struct RunResult {
    int status = -1;
    std::string out, err;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the show in `folder` with extra arguments and environment assignments.
RunResult runShow(const fs::path& folder, const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {})
{
    static int counter = 0;
    fs::path outFile = fs::temp_directory_path() / ("zoduv_e2e_out_" + std::to_string(getpid()) + "_" + std::to_string(counter));
    fs::path errFile = fs::temp_directory_path() / ("zoduv_e2e_err_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::string command = "cd '" + folder.string() + "' && env SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no";
    for (const std::string& e : env)
        command += " '" + e + "'";
    command += " timeout 300 '" + kShowBinary.string() + "'";
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

TEST_F(ShowEndToEnd, EscapeFadesCopiesTheClipboardAndExitsZero)
{
    fs::path clip = fs::temp_directory_path() / ("zoduv_clip_" + std::to_string(getpid()));
    fs::remove(clip);
    RunResult r = runShow(kShowDir, {"--no-dialog", "--fixed-step", "60", "--no-sound"},
                          {"ZUR_TEST_INPUT=0.2:mbutton,0.5:escape", "ZUR_CLIPBOARD_FILE=" + clip.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(fs::exists(clip)) << "the fade's clipboard copy did not happen";
    std::string text = readFile(clip);
    EXPECT_EQ(text.rfind("Cam :0.,0.,0.  \nPnt :0.,0.,0.  \n \nMCr :", 0), 0u) << text;
    fs::remove(clip);
}

TEST_F(ShowEndToEnd, WindowCloseSkipsFadeAndClipboard)
{
    fs::path clip = fs::temp_directory_path() / ("zoduv_clip_close_" + std::to_string(getpid()));
    fs::remove(clip);
    RunResult r = runShow(kShowDir, {"--no-dialog", "--fixed-step", "60"},
                          {"ZUR_TEST_INPUT=0.2:mbutton,0.5:close", "ZUR_CLIPBOARD_FILE=" + clip.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(clip));
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
        {"keys", "newobjects/paths.pt", true, 2, nullptr},
        {"texture", "textures/paper.jpg", false, 3, "[Jpg !] textures/paper.jpg"},
        {"pair", "textures/stroke_D_1_ALPHA.jpg", true, 3, "[Jpg !] textures/stroke_D_1.jpg"},
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

TEST_F(ShowEndToEnd, MissingMusicTrackIsNotFatal)
{
    fs::path folder = copyOfShowFolder("music");
    fs::remove(folder / "music" / "lanternsong.mp3");
    RunResult r = runShow(folder, {"--no-dialog", "--fixed-step", "60", "--show-end", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove_all(folder);
}

// Runs a command and returns its standard output.
std::string commandOutput(const std::string& command)
{
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
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

// Mono 16-bit samples at 44.1 kHz of the first `seconds` of a file, decoded by ffmpeg.
std::vector<double> decodedSound(const fs::path& file, double seconds)
{
    std::string command = "ffmpeg -v error -i '" + file.string() + "' -t " + std::to_string(seconds) +
                          " -ac 1 -ar 44100 -f s16le -";
    std::vector<double> samples;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        int16_t block[4096];
        size_t got;
        while ((got = std::fread(block, sizeof(int16_t), 4096, pipe)) > 0)
            samples.insert(samples.end(), block, block + got);
        pclose(pipe);
    }
    return samples;
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
    EXPECT_EQ(failing.status, 5) << failing.err;
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
