// Recording and late starts end to end, checked from outside: ffprobe and ffmpeg
// read the files, ffmpeg's own decoding of the music track is the reference for
// the sound, and --start is held against a show played from its beginning.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path kShowBinary = fs::path(ZUR_BINARY_DIR) / "zoduv";
const fs::path kShowDir = ZUR_SHOW_DIR;


std::string quoted(const std::string& s) { return "'" + s + "'"; }


// A fresh folder for one test's files.
fs::path scratch(const std::string& name)
{
    fs::path dir = fs::temp_directory_path() / ("zoduv_capture_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

struct RunResult {
    int status = -1;
    std::string err;
};

// Runs the show in its asset folder, with the environment's `unset` variables
// removed and the `assignments` ("NAME=value ...") added.
RunResult runShow(const std::vector<std::string>& args, const std::string& assignments = "",
                  const std::vector<std::string>& unset = {})
{
    static int counter = 0;
    const fs::path errFile = fs::temp_directory_path() /
                             ("zoduv_capture_err_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::string command = "cd " + quoted(kShowDir.string()) + " && env";
    for (const std::string& name : unset)
        command += " -u " + name;
    command += " SDL_AUDIODRIVER=dummy ZUR_MESSAGEBOX_ANSWER=no " + assignments + " timeout 600 " +
               quoted(kShowBinary.string());
    for (const std::string& a : args)
        command += " " + quoted(a);
    command += " >/dev/null 2>" + quoted(errFile.string());
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.err = readFile(errFile);
    fs::remove(errFile);
    return result;
}

// "codec_type,duration" lines of ffprobe: the duration of each kind of stream.
double streamSeconds(const fs::path& file, const std::string& kind)
{
    std::istringstream lines(commandOutput("ffprobe -v error -show_entries stream=codec_type,duration -of csv=p=0 " +
                                           quoted(file.string())));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(kind + ",", 0) == 0)
            return std::atof(line.c_str() + kind.size() + 1);
    return -1;
}

// PSNR in dB between two pictures, computed by ffmpeg.
double psnr(const fs::path& a, const fs::path& b)
{
    std::string out = commandOutput("ffmpeg -v info -i " + quoted(a.string()) + " -i " + quoted(b.string()) +
                                    " -lavfi psnr -f null - 2>&1");
    size_t at = out.find("average:");
    if (at == std::string::npos)
        return -1;
    return out.compare(at + 8, 3, "inf") == 0 ? 1000 : std::atof(out.c_str() + at + 8);
}

// Where in `source` the excerpt fits best: the offset in [from, to] with the
// highest normalised correlation.
long bestOffset(const std::vector<double>& source, const std::vector<double>& excerpt, long from, long to)
{
    long best = -1;
    double bestScore = -2;
    for (long offset = std::max(0L, from); offset <= to; ++offset) {
        if (offset + excerpt.size() > source.size())
            break;
        double dot = 0, a = 0, b = 0;
        for (size_t i = 0; i < excerpt.size(); ++i) {
            const double s = source[offset + i];
            dot += s * excerpt[i];
            a += s * s;
            b += excerpt[i] * excerpt[i];
        }
        const double score = a > 0 && b > 0 ? dot / std::sqrt(a * b) : -1;
        if (score > bestScore)
            bestScore = score, best = offset;
    }
    return best;
}

// Names of the files in `dir` that contain `part`.
std::vector<std::string> filesNamed(const fs::path& dir, const std::string& part)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find(part) != std::string::npos)
            names.push_back(entry.path().filename().string());
    return names;
}

bool haveProgramAndAssets() { return fs::exists(kShowBinary) && fs::exists(kShowDir / "newobjects" / "paths.pt"); }

// Starts the show in its asset folder with standard error to `errFile` and the
// environment's `assignments` added; its process id.
pid_t startShow(const std::vector<std::string>& args, const fs::path& errFile,
                const std::vector<std::string>& assignments = {})
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (chdir(kShowDir.c_str()) != 0 || !std::freopen(errFile.c_str(), "w", stderr) ||
        !std::freopen((errFile.string() + ".out").c_str(), "w", stdout))
        _exit(99);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ZUR_MESSAGEBOX_ANSWER", "no", 1);
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        setenv(a.substr(0, eq).c_str(), a.substr(eq + 1).c_str(), 1);
    }
    std::vector<char*> argv{const_cast<char*>("zoduv")};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(kShowBinary.c_str(), argv.data());
    _exit(98);
}

// Waits (five minutes at most) until `ready` holds.
template <typename Ready>
bool waitFor(Ready ready)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A process that still runs: it exists and is not a zombie waiting to be reaped.
bool running(pid_t pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// A folder holding an `ffmpeg` that encodes with the real one and, for the
// muxing, runs `muxing` (a shell fragment; "$out" is the output file, and its
// process id is written to mux.pid beside it first).
fs::path ffmpegWithMuxing(const fs::path& dir, const std::string& muxing)
{
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    std::ofstream script(bin / "ffmpeg");
    script << "#!/bin/sh\ncase \"$*\" in *rawvideo*) exec /usr/bin/ffmpeg \"$@\";; esac\n"
           << "for out; do :; done\necho $$ > '" << (dir / "mux.pid").string() << "'\n" << muxing << "\n";
    script.close();
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    return bin;
}

class CaptureEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveProgramAndAssets() || !std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs the built show, its generated assets and a display";
    }
};

} // namespace

TEST_F(CaptureEndToEnd, RangeHoldsItsFramesAndSoundAndMatchesAScreenshot)
{
    const fs::path dir = scratch("range");
    const fs::path video = dir / "range.mp4";
    const fs::path lateInCapture = dir / "late_in_capture.png";
    RunResult r = runShow({"--no-dialog", "--size", "320x180", "--capture", video.string(), "--from", "10", "--to",
                           "12", "--fps", "30", "--screenshot", "11.9:" + lateInCapture.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("capture: 100%"), std::string::npos) << "one progress line per tenth\n" << r.err;

    const std::string frames = commandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                             "stream=nb_read_frames,r_frame_rate -of csv=p=0 " +
                                             quoted(video.string()));
    EXPECT_EQ(frames, "30/1,60\n");
    EXPECT_NEAR(streamSeconds(video, "video"), 2.0, 0.01);
    EXPECT_NEAR(streamSeconds(video, "audio"), 2.0, 0.03);

    // Show time 11.01 s is first reached by the frame at 331/30 s, the 32nd of the
    // range (10 s is the first). Among its neighbours in the file it alone matches.
    const fs::path shot = dir / "shot.png";
    const fs::path late = dir / "late.png";
    RunResult s = runShow({"--no-dialog", "--size", "320x180", "--fixed-step", "30", "--show-end", "11.95",
                           "--screenshot", "11.01:" + shot.string(), "--screenshot", "11.9:" + late.string()});
    ASSERT_EQ(s.status, 0) << s.err;
    // Reading frames back for the encoder leaves the GL state as it found it: a
    // later frame of the capturing run is the same bytes as without a capture.
    auto md5 = [](const fs::path& png) {
        return commandOutput("ffmpeg -v error -i " + quoted(png.string()) + " -f rawvideo -pix_fmt rgb24 - | md5sum");
    };
    EXPECT_EQ(md5(lateInCapture), md5(late));
    int bestFrame = -1;
    double bestPsnr = 0;
    for (int n = 28; n <= 34; ++n) {
        const fs::path frame = dir / ("frame" + std::to_string(n) + ".png");
        commandOutput("ffmpeg -v error -y -i " + quoted(video.string()) + " -vf 'select=eq(n\\," +
                      std::to_string(n) + ")' -frames:v 1 " + quoted(frame.string()));
        const double db = psnr(frame, shot);
        if (db > bestPsnr)
            bestPsnr = db, bestFrame = n;
    }
    EXPECT_EQ(bestFrame, 31);
    EXPECT_GT(bestPsnr, 34.0) << "H.264 at CRF 18 keeps more than this";
    fs::remove_all(dir);
}

TEST_F(CaptureEndToEnd, StopRequestLeavesAPlayableFile)
{
    struct Row {
        int signal;
        int status;
        const char* said;
    } rows[] = {{SIGINT, 130, "stopped by Ctrl+C"}, {SIGTERM, 143, "stopped by SIGTERM"}};
    for (const Row& row : rows) {
        const fs::path dir = scratch("stop" + std::to_string(row.signal));
        const fs::path video = dir / "stopped.mp4";
        const fs::path errFile = dir / "err.txt";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(kShowDir.c_str()) != 0 || !std::freopen(errFile.c_str(), "w", stderr) ||
                !std::freopen("/dev/null", "w", stdout))
                _exit(99);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("ZUR_MESSAGEBOX_ANSWER", "no", 1);
            execl(kShowBinary.c_str(), "zoduv", "--no-dialog", "--size", "320x180", "--fps", "30", "--show-end",
                  "20", "--capture", video.c_str(), nullptr);
            _exit(98);
        }
        // Stop once 30 % of the 20 s are recorded.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (readFile(errFile).find("capture: 30%") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(pid, row.signal);
        int raw = 0;
        waitpid(pid, &raw, 0);
        const std::string err = readFile(errFile);
        ASSERT_TRUE(WIFEXITED(raw)) << err;
        EXPECT_EQ(WEXITSTATUS(raw), row.status) << err;
        EXPECT_NE(err.find(row.said), std::string::npos) << err;
        EXPECT_NE(err.find("capture: wrote"), std::string::npos) << err;

        const double videoSeconds = streamSeconds(video, "video");
        EXPECT_GT(videoSeconds, 5.5) << err;
        EXPECT_LT(videoSeconds, 19.5) << err;
        EXPECT_NEAR(streamSeconds(video, "audio"), videoSeconds, 0.05);
        // The whole file decodes, the sound included.
        EXPECT_EQ(commandOutput("ffmpeg -v error -i " + quoted(video.string()) + " -f null - 2>&1"), "");
        fs::remove_all(dir);
    }
}

TEST(CaptureHeadless, WithoutADisplayTheShowRecordsItself)
{
    if (!haveProgramAndAssets())
        GTEST_SKIP() << "needs the built show and its generated assets";
    // The calling folder, as ./run.sh passes it on.
    const fs::path dir = scratch("headless");
    const fs::path video = dir / "show.mp4";
    RunResult r = runShow({"--show-end", "2"}, "ZUR_CALLER_DIR=" + dir.string(), {"DISPLAY", "WAYLAND_DISPLAY"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(fs::exists(video)) << r.err;
    EXPECT_FALSE(fs::exists(kShowDir / "show.mp4"));
    EXPECT_NE(r.err.find("capture: wrote " + video.string()), std::string::npos) << r.err;
    EXPECT_EQ(commandOutput("ffprobe -v error -select_streams v:0 -show_entries stream=width,height,r_frame_rate -of "
                            "csv=p=0 " + quoted(video.string())),
              "1280,720,30/1\n");
    EXPECT_NEAR(streamSeconds(video, "video"), 2.0, 0.05);
    EXPECT_NEAR(streamSeconds(video, "audio"), 2.0, 0.08);
    fs::remove_all(dir);
}

TEST_F(CaptureEndToEnd, StartGivesThePlayedPictureAndTheMusicFromThere)
{
    const fs::path dir = scratch("start");
    // Both on steps of 1/15 s: one simulated to 100 s without drawing, one played.
    std::vector<std::string> md5s;
    for (bool late : {true, false}) {
        const fs::path shot = dir / (late ? "a.png" : "b.png");
        std::vector<std::string> args = {"--no-dialog", "--size", "320x180", "--fixed-step", "15", "--show-end",
                                         "101.05", "--no-sound", "--screenshot", "101:" + shot.string()};
        if (late)
            args.insert(args.end(), {"--start", "100"});
        RunResult r = runShow(args);
        ASSERT_EQ(r.status, 0) << r.err;
        md5s.push_back(commandOutput("ffmpeg -v error -i " + quoted(shot.string()) +
                                     " -f rawvideo -pix_fmt rgb24 - | md5sum"));
        if (late) {
            // A picture worth comparing: pencil lines, not only paper.
            const std::string dark = commandOutput("ffmpeg -v error -i " + quoted(shot.string()) +
                                                   " -vf format=gray,lutyuv='y=if(lt(val\\,80)\\,255\\,0)',scale=1:1 "
                                                   "-f rawvideo - | od -An -tu1");
            EXPECT_GT(std::atoi(dark.c_str()), 5) << "mean of the dark-pixel mask, 0..255";
        }
    }
    EXPECT_EQ(md5s[0], md5s[1]);
    EXPECT_EQ(md5s[0].size(), 36u); // an md5sum line: the picture was decoded

    // In real time the sound device stays silent until the start, then plays the
    // music from its position for the first shown frame: 100 s + 1/60 on a quiet
    // machine, later when that frame is drawn late (a busy machine, the sanitizers),
    // since the show's clock is the wall clock. Never before 100 s.
    const fs::path played = dir / "played.raw";
    RunResult r = runShow({"--no-dialog", "--size", "320x180", "--start", "100", "--show-end", "101"},
                          "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + played.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string raw = readFile(played);
    std::vector<double> heard;
    for (size_t i = 0; i + 3 < raw.size(); i += 4) {
        const auto left = static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8);
        const auto right =
            static_cast<int16_t>(static_cast<uint8_t>(raw[i + 2]) | static_cast<uint8_t>(raw[i + 3]) << 8);
        heard.push_back((left + right) / 2.0);
    }
    size_t first = 0;
    while (first < heard.size() && heard[first] == 0)
        ++first;
    ASSERT_GT(first, 44100u / 2) << "silence while the show was simulated";
    ASSERT_GE(heard.size(), first + 22050) << "half a second of sound after the start";
    // A quarter of a second is enough to place it, and keeps the wider search quick.
    const std::vector<double> excerpt(heard.begin() + static_cast<long>(first),
                                      heard.begin() + static_cast<long>(first) + 11025);
    const std::vector<double> music = decodedSound(kShowDir / "music" / "lanternsong.mp3", 102);
    constexpr long kLateFirstFrame = 44100 / 2;
    const long from = 100 * 44100 - 2205, to = 100 * 44100 + kLateFirstFrame + 2205;
    const long at = bestOffset(music, excerpt, from, to);
    EXPECT_GE(at, 100 * 44100 - 8);
    EXPECT_LE(at, 100 * 44100 + kLateFirstFrame);
    fs::remove_all(dir);
}

TEST_F(CaptureEndToEnd, ScreenshotsNotMadeEndWithStatus5)
{
    const fs::path dir = scratch("shots");
    const fs::path made = dir / "made.png";
    struct Row {
        std::string shot;
        const char* said;
    } rows[] = {
        {"5:" + (dir / "late.png").string(), "show time 5.000 s was not drawn"},
        {"0.5:" + (dir / "no" / "such" / "folder.png").string(), "cannot write"},
    };
    for (const Row& row : rows) {
        fs::remove(made);
        RunResult r = runShow({"--no-dialog", "--size", "320x180", "--fixed-step", "30", "--show-end", "1",
                               "--no-sound", "--screenshot", row.shot, "--screenshot", "0.5:" + made.string()});
        EXPECT_EQ(r.status, 6) << r.err;
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_TRUE(fs::exists(made)) << "the other screenshot is still made";
    }
    fs::remove_all(dir);
}

TEST_F(CaptureEndToEnd, OutputsThatCannotBeWrittenAreRefusedAtOnceOrReported)
{
    const fs::path dir = scratch("outputs");
    ASSERT_EQ(mkfifo((dir / "fifo.mp4").c_str(), 0644), 0);
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string said;
    } rows[] = {
        // A capture that could never be written fails before the show plays.
        {{"--capture", dir.string()}, 6, "is a folder; nothing is recorded"},
        {{"--capture", (dir / "noextension").string()}, 6, "has no extension"},
        {{"--capture", "/dev/full"}, 6, "is not a regular file"},
        // A sound part that cannot be written is a recording that cannot be made.
        {{"--capture", (dir / "no" / "folder" / "x.mp4").string()}, 6,
         "capture: cannot record " + (dir / "no" / "folder" / "x.mp4").string() + ": its sound part "},
        {{"--capture", (dir / "fifo.mp4").string()}, 6, "is not a regular file"},
        // One file for two screenshots is refused like any usage error.
        {{"--screenshot", "0.5:" + (dir / "a.png").string(), "--screenshot", "0.8:" + (dir / "a.png").string()},
         64, "the later picture would replace the earlier"},
        // A benchmark file that cannot be written is something asked for and not made.
        {{"--benchmark", (dir / "no" / "folder" / "frames.csv").string()}, 6, "benchmark: cannot write"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[1]);
        std::vector<std::string> args = {"--no-dialog", "--size", "320x180", "--show-end", "1", "--no-sound"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        RunResult r = runShow(args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("capture: 10%"), std::string::npos) << "refused before recording\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "a.png"));
    EXPECT_EQ(filesNamed(dir, ".part."), std::vector<std::string>{});
    fs::remove_all(dir);
}

TEST_F(CaptureEndToEnd, AFailedRecordingLeavesTheEarlierFileAndNamesTheParts)
{
    struct Row {
        const char* name;
        std::string script; // the fake ffmpeg
        const char* said;
    } rows[] = {
        // The muxing writes half a file, then fails as on a full disk.
        {"mux", "#!/bin/sh\ncase \"$*\" in *rawvideo*) exec /usr/bin/ffmpeg \"$@\";; esac\n"
                "for out; do :; done\nprintf 'half a file' > \"$out\"\nexit 1\n",
         "muxing failed"},
        // The encoder takes every frame and fails at the end, as on a full disk.
        {"encode", "#!/bin/sh\ncase \"$*\" in *rawvideo*) cat >/dev/null; exit 1;; esac\nexec /usr/bin/ffmpeg \"$@\"\n",
         "ffmpeg reported an error while encoding"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path dir = scratch(std::string("failed_") + row.name);
        fs::create_directories(dir / "bin");
        {
            std::ofstream script(dir / "bin" / "ffmpeg");
            script << row.script;
        }
        fs::permissions(dir / "bin" / "ffmpeg", fs::perms::owner_all);
        const fs::path video = dir / "m.mp4";
        std::ofstream(video) << "an earlier recording";
        RunResult r = runShow({"--no-dialog", "--size", "320x180", "--show-end", "1", "--capture", video.string()},
                              "PATH=" + (dir / "bin").string() + ":/usr/bin:/bin");
        EXPECT_EQ(r.status, 6) << r.err;
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(video.string() + " is left as it was"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(video), "an earlier recording");
        EXPECT_EQ(filesNamed(dir, ".part.mp4"), std::vector<std::string>{}) << "no broken file beside it either";
        fs::remove_all(dir);
    }
}

TEST_F(CaptureEndToEnd, TheMuxingObeysStopRequestsAndCannotHang)
{
    struct Row {
        const char* name;
        const char* muxing; // what the fake muxing does
        int signals;        // stop requests sent once the muxing runs
        std::vector<std::string> env;
        int status;         // -1: ended by SIGINT itself
        const char* said;
        bool recorded;      // the file is in place
    } rows[] = {
        {"once", "sleep 2; exec /usr/bin/ffmpeg \"$@\"", 1, {}, 130, "Ctrl+C while the file is being finished",
         true},
        {"twice", "exec sleep 600", 2, {}, -1, "stopped at once; what was recorded is left as parts", false},
        {"stalled", "exec sleep 600", 0, {"ZUR_MUX_STALL_SECONDS=1"}, 6, "ffmpeg wrote nothing for 1 s and was ended",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path dir = scratch(std::string("mux_") + row.name);
        const fs::path bin = ffmpegWithMuxing(dir, row.muxing);
        const fs::path video = dir / "m.mp4";
        const fs::path errFile = dir / "err.txt";
        std::vector<std::string> env = row.env;
        env.push_back("PATH=" + bin.string() + ":/usr/bin:/bin");
        const pid_t pid = startShow({"--no-dialog", "--size", "320x180", "--fps", "30", "--show-end", "1",
                                     "--capture", video.string()},
                                    errFile, env);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "mux.pid") && fs::file_size(dir / "mux.pid") > 0; }));
        const pid_t muxer = std::atoi(readFile(dir / "mux.pid").c_str());
        for (int i = 0; i < row.signals; ++i) {
            kill(pid, SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        int raw = 0;
        waitpid(pid, &raw, 0);
        const std::string err = readFile(errFile);
        if (row.status < 0) {
            EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGINT) << err;
        } else {
            ASSERT_TRUE(WIFEXITED(raw)) << err;
            EXPECT_EQ(WEXITSTATUS(raw), row.status) << err;
        }
        EXPECT_NE(err.find(row.said), std::string::npos) << err;
        EXPECT_TRUE(waitFor([&] { return !running(muxer); })) << "the muxing's ffmpeg outlived the show";
        EXPECT_EQ(fs::exists(video), row.recorded) << err;
        EXPECT_EQ(filesNamed(dir, ".part.mp4"), std::vector<std::string>{});
        if (!row.recorded) {
            // The parts named on standard error are there.
            const std::vector<std::string> pictures = filesNamed(dir, ".part.mkv"), sound = filesNamed(dir, ".part.wav");
            ASSERT_EQ(pictures.size(), 1u) << err;
            ASSERT_EQ(sound.size(), 1u) << err;
            EXPECT_NE(err.find((dir / pictures[0]).string()), std::string::npos) << err;
            EXPECT_NE(err.find((dir / sound[0]).string()), std::string::npos) << err;
        }
        fs::remove_all(dir);
    }
}

// A stop means "enough", not "throw away what I had": a stopped recording goes
// beside an earlier file of its name, under a name that says so, and one that runs
// to its end replaces it. The parts have short names of their own, so a name as
// long as the file system allows records too.
TEST_F(CaptureEndToEnd, AStoppedRecordingGoesBesideAnEarlierFileAndLongNamesRecord)
{
    const std::string longName = std::string(246, 'l') + ".mp4"; // 250 bytes: 255 is the limit
    struct Row {
        const char* what;
        std::string name;
        bool earlier; // a file of that name is there before
        bool stop;    // SIGINT once a tenth is recorded
    } rows[] = {
        {"stopped over an earlier file", "m.mp4", true, true},
        {"stopped over an earlier file of a long name", longName, true, true},
        {"to its end under a long name", longName, false, false},
        {"to its end over an earlier file", "m.mp4", true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path dir = scratch("beside");
        const fs::path video = dir / row.name;
        const fs::path errFile = dir / "err.txt";
        if (row.earlier)
            std::ofstream(video) << "an earlier recording";
        const pid_t pid = startShow({"--no-dialog", "--size", "320x180", "--fps", "30", "--show-end",
                                     row.stop ? "20" : "1", "--capture", video.string()},
                                    errFile);
        ASSERT_GT(pid, 0);
        if (row.stop) {
            ASSERT_TRUE(waitFor([&] { return readFile(errFile).find("capture: 10%") != std::string::npos; }));
            kill(pid, SIGINT);
        }
        int raw = 0;
        waitpid(pid, &raw, 0);
        const std::string err = readFile(errFile);
        ASSERT_TRUE(WIFEXITED(raw)) << err;
        EXPECT_EQ(WEXITSTATUS(raw), row.stop ? 130 : 0) << err;
        EXPECT_EQ(filesNamed(dir, ".part."), std::vector<std::string>{}) << err;
        fs::path recorded = video;
        if (row.earlier && row.stop) {
            EXPECT_EQ(readFile(video), "an earlier recording");
            const std::vector<std::string> stopped = filesNamed(dir, ".stopped-at-");
            ASSERT_EQ(stopped.size(), 1u) << err;
            recorded = dir / stopped[0];
            // The name's own stem, shortened where the whole would pass 255 bytes.
            const std::string stem = fs::path(row.name).stem().string();
            EXPECT_EQ(stopped[0].rfind(stem.substr(0, 200), 0), 0u) << stopped[0];
            EXPECT_EQ(recorded.extension(), ".mp4");
            EXPECT_LE(stopped[0].size(), 255u);
            EXPECT_NE(err.find("capture: " + video.string() + " is kept as it was"), std::string::npos) << err;
        }
        EXPECT_NE(err.find("capture: wrote " + recorded.string()), std::string::npos) << err;
        const double seconds = streamSeconds(recorded, "video");
        if (row.stop) {
            EXPECT_GT(seconds, 1.5) << err;
            EXPECT_LT(seconds, 19.5) << err;
        } else {
            EXPECT_NEAR(seconds, 1.0, 0.05) << err;
        }
        fs::remove_all(dir);
    }
}

TEST_F(CaptureEndToEnd, AStopBeforeTheRangeSaysTheShowTimeReached)
{
    const fs::path dir = scratch("stop_before");
    const fs::path errFile = dir / "err.txt";
    const pid_t pid = startShow({"--no-dialog", "--size", "320x180", "--fps", "30", "--from", "200", "--to", "201",
                                 "--no-sound", "--capture", (dir / "late.mp4").string()},
                                errFile);
    ASSERT_GT(pid, 0);
    // The scene has loaded ("111" on standard output): the lead-in is being simulated.
    ASSERT_TRUE(waitFor([&] { return readFile(errFile.string() + ".out").find("111\n") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGINT);
    int raw = 0;
    waitpid(pid, &raw, 0);
    const std::string err = readFile(errFile);
    ASSERT_TRUE(WIFEXITED(raw)) << err;
    EXPECT_EQ(WEXITSTATUS(raw), 130) << err;
    const size_t at = err.find("stopped by Ctrl+C (SIGINT) at show time ");
    ASSERT_NE(at, std::string::npos) << err;
    const double reached = std::atof(err.c_str() + at + 40);
    EXPECT_GT(reached, 0.0) << err;
    EXPECT_LT(reached, 200.0) << err;
    fs::remove_all(dir);
}
