// The Windows build of the show, end to end under Wine in the virtual display of
// the test run: the start dialog and the message boxes answered with keys as a
// person would, the exit statuses, frames compared with the Linux build's, and
// MP3 decoding through the system's codec compared with libmpg123's. The Wine
// prefix (WINEPREFIX) is prepared by the test script: virtual desktop, running
// wineserver.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/sound_decode.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const fs::path kWindowsBuild = ZUR_WINDOWS_BUILD_DIR;
const fs::path kLinuxShow = fs::path(ZUR_BINARY_DIR) / "zoduv";
const fs::path kShowDir = ZUR_SHOW_DIR;
// The message boxes appear and wait for a key, as they do for a person.
const std::string kRealBoxes = "-ZUR_MESSAGEBOX_ANSWER";

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path scratch(const std::string& name)
{
    return fs::temp_directory_path() / ("zoduv_wine_" + std::to_string(getpid()) + "_" + name);
}

// A program started in the background with its output in files, so a test can
// watch for a line and answer with keys while it runs.
class Process {
public:
    Process(const fs::path& folder, const std::vector<std::string>& command, const std::vector<std::string>& env = {})
        : out_(scratch("out" + std::to_string(serial_))), err_(scratch("err" + std::to_string(serial_)))
    {
        ++serial_;
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(folder.c_str()) != 0)
                _exit(126);
            std::FILE* o = std::freopen(out_.c_str(), "w", stdout);
            std::FILE* e = std::freopen(err_.c_str(), "w", stderr);
            if (!o || !e)
                _exit(126);
            // "NAME=value" sets, "-NAME" removes a variable of the test run.
            for (const std::string& assignment : env) {
                if (assignment[0] == '-')
                    unsetenv(assignment.c_str() + 1);
                else
                    putenv(const_cast<char*>(assignment.c_str()));
            }
            std::vector<char*> argv;
            for (const std::string& word : command)
                argv.push_back(const_cast<char*>(word.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process()
    {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        fs::remove(out_);
        fs::remove(err_);
    }
    std::string out() const { return readFile(out_); }
    std::string err() const { return readFile(err_); }

    // True once `text` shows up on either stream; false at the time limit or
    // when the program ends without it.
    bool waitForText(const std::string& text, std::chrono::seconds limit)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (out().find(text) != std::string::npos || err().find(text) != std::string::npos)
                return true;
            if (finished())
                return out().find(text) != std::string::npos || err().find(text) != std::string::npos;
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }
    // Asks the program to end (SIGINT) and waits for it.
    int stop()
    {
        if (!finished())
            kill(pid_, SIGINT);
        return wait(30s);
    }
    // The exit status, or -1 when the program is still running at the time limit
    // (it is then killed).
    int wait(std::chrono::seconds limit)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!finished() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(200ms);
        return status_;
    }

private:
    bool finished()
    {
        if (status_ >= 0)
            return true;
        int raw = 0;
        if (waitpid(pid_, &raw, WNOHANG) == pid_)
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return status_ >= 0;
    }

    static inline int serial_ = 0;
    fs::path out_, err_;
    pid_t pid_ = -1;
    int status_ = -1;
};

int run(const std::string& command) { return std::system(command.c_str()); }

// What a shell command writes to standard output.
std::string commandText(const std::string& command)
{
    const fs::path file = scratch("command.txt");
    run(command + " >'" + file.string() + "'");
    const std::string text = readFile(file);
    fs::remove(file);
    return text;
}

// Keys as a person presses them, to whichever window has the focus.
void pressKey(const std::string& key) { run("xdotool key " + key + " >/dev/null 2>&1"); }

bool windowShown(const std::string& name, std::chrono::seconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (run("xdotool search --name '" + name + "' >/dev/null 2>&1") == 0)
            return true;
        std::this_thread::sleep_for(300ms);
    }
    return false;
}

// Mean brightness (0..255) of the top-left width x height pixels of the screen.
double screenBrightness(int width, int height)
{
    const fs::path grab = scratch("screen.gray");
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":0";
    run("ffmpeg -loglevel error -y -f x11grab -video_size " + std::to_string(width) + "x" + std::to_string(height) +
        " -i " + display + " -frames:v 1 -f rawvideo -pix_fmt gray '" + grab.string() + "'");
    const std::string pixels = readFile(grab);
    fs::remove(grab);
    if (pixels.empty())
        return -1;
    double sum = 0;
    for (unsigned char c : pixels)
        sum += c;
    return sum / pixels.size();
}

// The brightness of that part of the screen once it passes `level`, or the last
// one seen at the time limit: a loaded machine draws the first frames late.
double brightnessPasses(int width, int height, double level, std::chrono::seconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    double seen = screenBrightness(width, height);
    while (seen <= level && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(500ms);
        seen = screenBrightness(width, height);
    }
    return seen;
}

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

Image readPng(const fs::path& path)
{
    Image image;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return image;
    png.format = PNG_FORMAT_RGB;
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) {
        image.rgb.clear();
        return image;
    }
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    return image;
}

std::vector<std::string> wine(const std::string& program, std::vector<std::string> args)
{
    args.insert(args.begin(), {"wine", (kWindowsBuild / program).string()});
    return args;
}

class WindowsShow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(kWindowsBuild / "zoduv.exe")) << "the Windows build is missing: " << kWindowsBuild;
        ASSERT_NE(std::getenv("WINEPREFIX"), nullptr) << "the test script prepares a Wine prefix";
        ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    }
};

} // namespace

TEST_F(WindowsShow, TheDialogRunsTheDefaultChoiceAndEscapeEndsTheShowWithZero)
{
    // No arguments, as after a double click: the dialog, Return for "Run ... "
    // (1280 x 720 full screen, antialiased), a few seconds of frames, Escape.
    Process show(kShowDir, wine("zoduv.exe", {}), {kRealBoxes});
    ASSERT_TRUE(windowShown("Zoduv aziridiru ZUR - 2014", 90s)) << show.err();
    std::this_thread::sleep_for(1s);
    pressKey("Return");
    ASSERT_TRUE(show.waitForText("111", 120s)) << show.out() << show.err(); // the last mark of loading
    // The paper is light: frames are drawn and shown.
    EXPECT_GT(brightnessPasses(1280, 720, 120.0, 60s), 120.0);
    pressKey("Escape");
    EXPECT_EQ(show.wait(60s), 0) << show.err();
    EXPECT_EQ(show.err().find("[ERROR]"), std::string::npos) << show.err();
}

TEST_F(WindowsShow, WindowedChosenByKeysRunsInAWindowThatAltF4Closes)
{
    // Tab to "Windowed" (after "Run ... ", "Quit" and "Antialiased"), Space to
    // check it, Return for "Run ... ". Alt+F4 goes through Windows' default
    // processing to a close request: the show ends at once with status 0.
    Process show(kShowDir, wine("zoduv.exe", {}), {kRealBoxes});
    ASSERT_TRUE(windowShown("Zoduv aziridiru ZUR - 2014", 90s)) << show.err();
    std::this_thread::sleep_for(1s);
    for (const char* key : {"Tab", "Tab", "Tab", "space", "Return"}) {
        pressKey(key);
        std::this_thread::sleep_for(300ms);
    }
    ASSERT_TRUE(show.waitForText("111", 120s)) << show.out() << show.err();
    ASSERT_TRUE(windowShown(" =  Zoduv Aziridiru by ZUR - 2014 = ", 30s));
    // Paper inside the window at (50, 50); the desktop beside it.
    const double inside = brightnessPasses(1200, 600, 120.0, 60s);
    const double desktop = screenBrightness(1920, 1080);
    EXPECT_GT(inside, 120.0);
    EXPECT_LT(desktop, inside - 20.0) << "the show fills the screen: not windowed";
    pressKey("alt+F4");
    EXPECT_EQ(show.wait(60s), 0) << show.err();
}

TEST_F(WindowsShow, NoToTheFullScreenQuestionEndsTheProgramWithoutAWindow)
{
    // A size the display cannot switch to.
    Process show(kShowDir, wine("zoduv.exe", {"--fullscreen", "--size", "1000x562"}), {kRealBoxes});
    ASSERT_TRUE(show.waitForText("[ZUR GL] The Requested Fullscreen Mode Is Not Supported", 90s)) << show.err();
    std::this_thread::sleep_for(1500ms);
    pressKey("Escape"); // anything but Yes is No
    ASSERT_TRUE(show.waitForText("[ERROR] Program Will Now Close.", 30s)) << show.err();
    std::this_thread::sleep_for(1500ms);
    pressKey("Return");
    EXPECT_EQ(show.wait(30s), 0) << show.err();
    EXPECT_EQ(show.out().find("dd1"), std::string::npos) << "nothing may load without a window";
}

TEST_F(WindowsShow, AMissingTextureShowsItsNameAndEndsWithThree)
{
    // The asset folder with links to every file but the hand's alpha mask: the
    // pair fails under the mask's name.
    const fs::path folder = scratch("no_mask");
    fs::remove_all(folder);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kShowDir)) {
        const fs::path to = folder / fs::relative(entry.path(), kShowDir);
        if (entry.is_directory())
            fs::create_directories(to);
        else if (entry.path().filename() != "handalpha.jpg")
            fs::create_symlink(entry.path(), to);
    }
    Process show(folder, wine("zoduv.exe", {"--no-dialog", "--no-sound"}), {kRealBoxes});
    ASSERT_TRUE(show.waitForText("[Jpg !] textures/handalpha.jpg", 120s)) << show.out() << show.err();
    std::this_thread::sleep_for(1500ms);
    pressKey("Return");
    EXPECT_EQ(show.wait(30s), 3) << show.err();
    fs::remove_all(folder);
}

TEST_F(WindowsShow, FramesMatchTheLinuxBuild)
{
    // Both builds draw with llvmpipe; on fixed steps the same show time must
    // give the same picture.
    const std::vector<double> times = {2.0, 11.0, 33.0};
    std::vector<std::string> args = {"--no-dialog", "--no-sound", "--fixed-step", "10", "--size", "320x180",
                                     "--show-end", "33.5"};
    std::vector<std::string> linuxArgs = args, windowsArgs = args;
    for (double t : times) {
        const std::string name = std::to_string(static_cast<int>(t));
        linuxArgs.push_back("--screenshot");
        linuxArgs.push_back(name + ":" + scratch("linux_" + name + ".png").string());
        windowsArgs.push_back("--screenshot");
        // A name outside the ANSI code page: file names are Unicode on Windows.
        windowsArgs.push_back(name + ":Z:" + scratch("windows_\u5199\u771f_" + name + ".png").string());
    }
    linuxArgs.insert(linuxArgs.begin(), kLinuxShow.string());
    Process linuxShow(kShowDir, linuxArgs, {"SDL_AUDIODRIVER=dummy", "ZUR_MESSAGEBOX_ANSWER=no"});
    Process windowsShow(kShowDir, wine("zoduv.exe", windowsArgs), {"ZUR_MESSAGEBOX_ANSWER=no"});
    ASSERT_EQ(linuxShow.wait(600s), 0) << linuxShow.err();
    ASSERT_EQ(windowsShow.wait(600s), 0) << windowsShow.err();

    for (double t : times) {
        const std::string name = std::to_string(static_cast<int>(t));
        const Image linuxFrame = readPng(scratch("linux_" + name + ".png"));
        const Image windowsFrame = readPng(scratch("windows_\u5199\u771f_" + name + ".png"));
        ASSERT_EQ(linuxFrame.width, 320) << name;
        ASSERT_EQ(windowsFrame.width, linuxFrame.width) << name;
        ASSERT_EQ(windowsFrame.height, linuxFrame.height) << name;
        int worst = 0;
        size_t differing = 0;
        for (size_t i = 0; i < linuxFrame.rgb.size(); ++i) {
            const int d = std::abs(int(linuxFrame.rgb[i]) - int(windowsFrame.rgb[i]));
            worst = std::max(worst, d);
            differing += d > 8;
        }
        // Rasterisers agree to the bit here; a little room stays for another CPU.
        EXPECT_LE(differing, linuxFrame.rgb.size() / 1000) << "at " << name << " s, worst " << worst;
        fs::remove(scratch("linux_" + name + ".png"));
        fs::remove(scratch("windows_\u5199\u771f_" + name + ".png"));
    }
}

TEST_F(WindowsShow, TracksDecodeThroughTheSystemCodecAsThroughLibmpg123)
{
    // The pencil loop must keep its length and its seam: the codec's output,
    // with the encoder's gap cut, lines up with libmpg123's gapless decoding.
    for (const char* track : {"music/pencil_bassy.mp3", "music/lanternsong.mp3"}) {
        const fs::path raw = scratch("decoded.raw");
        // mp3pcm names every failure of its own on standard error. Once in a few
        // dozen runs Wine fails to start a program right after another one was
        // killed, with status 1 and nothing said: that start is tried again.
        int status = -1;
        std::string said;
        for (int attempt = 0; attempt < 2 && status != 0 && said.empty(); ++attempt) {
            Process decode(kShowDir, wine("mp3pcm.exe", {track, "Z:" + raw.string()}));
            status = decode.wait(120s);
            said = decode.err();
        }
        ASSERT_EQ(status, 0) << said;
        const std::string bytes = readFile(raw);
        fs::remove(raw);
        DecodedAudio reference;
        std::string error;
        ASSERT_TRUE(decodeMp3File((kShowDir / track).string(), reference, &error)) << error;
        ASSERT_EQ(bytes.size(), reference.samples.size() * sizeof(int16_t)) << track;
        const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
        int worst = 0;
        for (size_t i = 0; i < reference.samples.size(); ++i)
            worst = std::max(worst, std::abs(int(samples[i]) - int(reference.samples[i])));
        // Decoders differ in their last bit of rounding; a shift of even one
        // sample would differ by far more.
        EXPECT_LE(worst, 4) << track;
    }
}

TEST_F(WindowsShow, ThePackageRunsUnpackedAnywhereWithNoDllOfItsOwn)
{
    const fs::path zip = kWindowsBuild / "package" / "zoduv-windows-x64.zip";
    ASSERT_TRUE(fs::exists(zip)) << "made by tools/windows/package.sh " << (kWindowsBuild / "package");
    const fs::path folder = scratch("unpacked");
    fs::remove_all(folder);
    fs::create_directories(folder);
    ASSERT_EQ(run("cd '" + folder.string() + "' && cmake -E tar xf '" + zip.string() + "'"), 0);
    ASSERT_TRUE(fs::exists(folder / "zoduv.exe"));
    ASSERT_TRUE(fs::exists(folder / "README.txt"));

    // Every DLL the program names is one that Windows itself carries.
    const fs::path imports = scratch("imports.txt");
    ASSERT_EQ(run("x86_64-w64-mingw32-objdump -p '" + (folder / "zoduv.exe").string() + "' | grep 'DLL Name' >'" +
                  imports.string() + "'"),
              0);
    std::istringstream names(readFile(imports));
    fs::remove(imports);
    const std::vector<std::string> system = {"KERNEL32.dll", "USER32.dll", "GDI32.dll", "OPENGL32.dll", "GLU32.dll",
                                             "WINMM.dll",    "MSACM32.dll", "msvcrt.dll", "ADVAPI32.dll", "SHELL32.dll"};
    std::string line;
    int count = 0;
    while (std::getline(names, line)) {
        const std::string dll = line.substr(line.find(':') + 2);
        EXPECT_NE(std::find(system.begin(), system.end(), dll), system.end()) << dll;
        ++count;
    }
    EXPECT_GT(count, 3);
    // A GUI program: Windows opens no console for it.
    EXPECT_NE(commandText("x86_64-w64-mingw32-objdump -p '" + (folder / "zoduv.exe").string() + "' | grep Subsystem")
                  .find("Windows GUI"),
              std::string::npos);

    Process show(folder, {"wine", (folder / "zoduv.exe").string(), "--no-dialog", "--no-sound", "--fixed-step", "10",
                          "--show-end", "1"});
    EXPECT_EQ(show.wait(300s), 0) << show.err();
    EXPECT_NE(show.out().find("111"), std::string::npos) << show.out();
    EXPECT_EQ(show.err().find("Outline font"), std::string::npos) << "the shipped face is found: " << show.err();
    fs::remove_all(folder);
}

TEST_F(WindowsShow, ADoubleClickOpensNoConsoleAndTheShowFindsItsFilesFromAnyFolder)
{
    // Started as Explorer starts a program: through the shell, with no console
    // attached, from a folder that is not the program's (a shortcut's "Start in").
    const fs::path zip = kWindowsBuild / "package" / "zoduv-windows-x64.zip";
    const fs::path folder = scratch("clicked"), elsewhere = scratch("elsewhere");
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::create_directories(elsewhere);
    ASSERT_EQ(run("cd '" + folder.string() + "' && cmake -E tar xf '" + zip.string() + "'"), 0);
    Process show(elsewhere, {"wine", "start", "/wait", "/unix", (folder / "zoduv.exe").string()}, {kRealBoxes});
    ASSERT_TRUE(windowShown("Zoduv aziridiru ZUR - 2014", 90s)) << show.err();
    std::this_thread::sleep_for(1s);
    // Wine shows a console as a window of its console host, named after the program.
    EXPECT_EQ(commandText("for w in $(xdotool search --class conhost 2>/dev/null); do xdotool getwindowname $w; done")
                  .find("zoduv"),
              std::string::npos);
    pressKey("Return");
    // The show's window comes only once its files are found; after the opening
    // tiles the paper is drawn in it.
    ASSERT_TRUE(windowShown(" =  Zoduv Aziridiru by ZUR - 2014 = ", 60s)) << show.err();
    EXPECT_GT(brightnessPasses(1280, 720, 120.0, 60s), 120.0) << "the paper is drawn";
    EXPECT_EQ(show.wait(0s), -1) << "the show is still running";
    pressKey("Escape");
    EXPECT_EQ(show.wait(60s), 0) << show.err();
    fs::remove_all(folder);
    fs::remove_all(elsewhere);
}

TEST_F(WindowsShow, SoundPlaysThroughWaveOutInStepWithTheMusic)
{
    // The test script gives Wine a PulseAudio server with a sink that plays
    // nowhere; its monitor hears what the show sends through waveOut.
    if (!std::getenv("PULSE_SERVER"))
        GTEST_SKIP() << "no sound server: tools/windows/test.sh starts one";
    Process recorder(kShowDir, {"parec", "-d", "zur.monitor", "--raw", "--format=s16le", "--rate=44100",
                                "--channels=2", "--latency-msec=200"}); // a short one drops pieces when busy
    std::this_thread::sleep_for(1s);
    Process show(kShowDir, wine("zoduv.exe", {"--no-dialog", "--size", "320x180", "--show-end", "6"}));
    ASSERT_EQ(show.wait(300s), 0) << show.err();
    std::this_thread::sleep_for(1s);
    recorder.stop();
    EXPECT_EQ(show.err().find("no audio device"), std::string::npos) << show.err();

    const std::string bytes = recorder.out();
    const auto* heard = reinterpret_cast<const int16_t*>(bytes.data());
    const size_t heardFrames = bytes.size() / 4;
    DecodedAudio music;
    ASSERT_TRUE(decodeMp3File((kShowDir / "music/lanternsong.mp3").string(), music));
    // The left channel from where it first gets loud, compared with the music in
    // pieces of 20 ms. The output keeps the music in step with the clock: a busy
    // machine starves the device for a moment (a gap: the music comes late), and
    // the next block skips the music ahead to where the clock is again. So a
    // piece is looked for around where the clock puts it, up to half a second
    // either way, the clock being set by the first piece found in the music's
    // first seconds. The pencil sound mixed in and the pieces that a gap or a
    // skip cuts make some pieces miss; a quarter of a second of exact music in
    // step cannot come from anything but the music.
    auto onset = [](const int16_t* stereo, size_t frames) {
        for (size_t i = 0; i < frames; ++i)
            if (std::abs(stereo[2 * i]) > 2000)
                return i;
        return frames;
    };
    const long heardStart = long(onset(heard, heardFrames));
    constexpr long kPiece = 882, kPieces = 200, kEitherWay = 22050;
    ASSERT_GT(long(heardFrames), heardStart + kPieces * kPiece + 44100) << "too little was heard";
    // The best correlation of a heard piece with the music starting anywhere in [from, to].
    auto bestMatch = [&](long piece, long from, long to, long& where) {
        const int16_t* x = heard + 2 * (heardStart + piece * kPiece);
        double heardEnergy = 0;
        for (long i = 0; i < kPiece; ++i)
            heardEnergy += double(x[2 * i]) * x[2 * i];
        double best = 0;
        from = std::max(from, 0L);
        to = std::min(to, long(music.frames()) - kPiece);
        for (long m = from; m <= to && heardEnergy > 0; ++m) {
            const int16_t* y = music.samples.data() + 2 * m;
            double dot = 0, musicEnergy = 0;
            for (long i = 0; i < kPiece; ++i) {
                dot += double(x[2 * i]) * y[2 * i];
                musicEnergy += double(y[2 * i]) * y[2 * i];
            }
            const double c = musicEnergy > 0 ? dot / std::sqrt(heardEnergy * musicEnergy) : 0.0;
            if (c > best)
                best = c, where = m;
        }
        return best;
    };
    constexpr double kExact = 0.95;
    long clock = -1; // where the music stood at the onset, by the first piece found
    long last = 0;   // where the last match put it
    int matched = 0;
    for (long piece = 0; piece < kPieces; ++piece) {
        long where = 0;
        if (clock < 0) {
            if (bestMatch(piece, 0, 3 * 44100, where) > kExact) {
                clock = where - piece * kPiece;
                last = clock;
                ++matched;
            }
            continue;
        }
        // Mostly the music runs on where it was; only a miss there costs the wide search.
        const long due = clock + piece * kPiece;
        const long near = last + piece * kPiece;
        if (bestMatch(piece, near - 20, near + 20, where) > kExact ||
            bestMatch(piece, due - kEitherWay, due + kEitherWay, where) > kExact) {
            last = where - piece * kPiece;
            ++matched;
        }
    }
    EXPECT_GE(matched, 12) << "what waveOut played is not the music";
    if (matched < 12 || std::getenv("ZUR_KEEP_RECORDING")) {
        // What the recorder heard (raw stereo int16 at 44 100 Hz), for a look at a failure.
        const fs::path kept = fs::path(ZUR_BINARY_DIR) / ("heard-" + std::to_string(getpid()) + ".raw");
        std::ofstream(kept, std::ios::binary) << bytes;
        std::printf("the recording is kept in %s (onset at %.3f s)\n", kept.c_str(), heardStart / 44100.0);
    }
    // Played in real time from the end of loading to the end of the show.
    const double seconds = double(long(heardFrames) - heardStart) / 44100.0;
    EXPECT_GT(seconds, 5.0);
}
