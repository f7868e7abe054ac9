// Command-line options: what each one sets, the usage errors, and how the choices
// reach the compiled-in switches and the window size.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/command_line.h"
#include "app/run_plan.h"

namespace {

struct Parsed {
    bool ok;
    CommandLine line;
    std::string error;
};

Parsed parse(const std::vector<const char*>& args)
{
    std::vector<std::string> storage = {"zoduv"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    Parsed p;
    p.ok = parseCommandLine(static_cast<int>(storage.size()), argv.data(), p.line, p.error);
    return p;
}

} // namespace

TEST(CommandLine, NoArgumentsMeansTheDialog)
{
    Parsed p = parse({});
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.line.anyArgument);
    EXPECT_FALSE(commandLineChoosesMode(p.line));
    RunConfig config;
    applyCommandLineSwitches(p.line, config);
    EXPECT_EQ(config.showDialog, 1);
    EXPECT_EQ(config.soundEnabled, 1);
}

TEST(CommandLine, Options)
{
    Parsed p = parse({"--no-dialog", "--no-sound", "--no-aa", "--benchmark", "--fixed-step", "60", "--size",
                      "1920x1080", "--windowed", "--show-end", "1.5", "--screenshot", "12.5:shots/a.png",
                      "--screenshot=200:b.png", "--capture", "show.mp4"});
    ASSERT_TRUE(p.ok) << p.error;
    const CommandLine& l = p.line;
    EXPECT_TRUE(l.anyArgument);
    EXPECT_TRUE(l.noDialog && l.noSound && l.noAa && l.benchmark && l.windowed);
    EXPECT_FALSE(l.fullscreen || l.help || l.version);
    EXPECT_EQ(l.fixedStep, 60);
    EXPECT_EQ(l.width, 1920);
    EXPECT_EQ(l.height, 1080);
    EXPECT_EQ(l.showEnd, 1.5);
    ASSERT_EQ(l.screenshots.size(), 2u);
    EXPECT_EQ(l.screenshots[0].showSeconds, 12.5);
    EXPECT_EQ(l.screenshots[0].file, "shots/a.png");
    EXPECT_EQ(l.screenshots[1].showSeconds, 200.0);
    EXPECT_EQ(l.screenshots[1].file, "b.png");
    EXPECT_EQ(l.capture, "show.mp4");
    EXPECT_TRUE(l.unknown.empty());

    EXPECT_TRUE(parse({"--help"}).line.help);
    EXPECT_TRUE(parse({"--version"}).line.version);
    EXPECT_TRUE(parse({"--fullscreen"}).line.fullscreen);
    EXPECT_EQ(parse({"--size=640X360"}).line.height, 360);

    Parsed r = parse({"--capture", "a.mp4", "--fps", "24", "--from", "10.5", "--to=20", "--start", "3"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.line.framesPerSecond, 24);
    EXPECT_EQ(r.line.fromSeconds, 10.5);
    EXPECT_EQ(r.line.toSeconds, 20.0);
    EXPECT_EQ(r.line.startSeconds, 3.0);
    EXPECT_TRUE(parse({"--fps", "60", "--fixed-step", "60"}).ok);
}

TEST(CommandLine, UsageErrors)
{
    struct Row {
        std::vector<const char*> args;
        const char* errorPart;
    };
    const Row rows[] = {
        {{"--frobnicate"}, "unknown option: --frobnicate"},
        {{"-x"}, "unknown option: -x"},
        {{"show.txt"}, "unexpected argument: show.txt"},
        {{"--size"}, "--size needs a value"},
        {{"--size", "1280"}, "bad value for --size"},
        {{"--size", "0x720"}, "bad value for --size"},
        {{"--size", "1280x-720"}, "bad value for --size"},
        {{"--size", "12a0x720"}, "bad value for --size"},
        {{"--size", "99999999999x720"}, "bad value for --size"},
        {{"--fixed-step", "0"}, "bad value for --fixed-step"},
        {{"--fixed-step", "sixty"}, "bad value for --fixed-step"},
        {{"--fixed-step", "60.5"}, "bad value for --fixed-step"},
        {{"--fixed-step", "1000000"},
         "bad value for --fixed-step: '1000000' (allowed: a whole number of steps per second from 1 to 100000)"},
        {{"--size", "0x0"}, "(allowed: WxH, each side a whole number of pixels from 1 to 16384)"},
        {{"--start", "1e309"}, "bad value for --start: '1e309' (allowed: seconds of show time, a finite number from 0 on)"},
        {{"--start", "-0.5"}, "bad value for --start"},
        {{"--start", "--0"}, "bad value for --start"},
        {{"--show-end", "-1"}, "bad value for --show-end"},
        {{"--show-end", "nan"}, "bad value for --show-end"},
        {{"--screenshot", "5"}, "bad value for --screenshot"},
        {{"--screenshot", "5:"}, "bad value for --screenshot"},
        {{"--screenshot", "x:a.png"}, "bad value for --screenshot"},
        {{"--capture", ""}, "bad value for --capture"},
        {{"--help=yes"}, "--help takes no value"},
        {{"--fps", "0"}, "bad value for --fps"},
        {{"--fps", "1001"}, "bad value for --fps"},
        {{"--from", "-1"}, "bad value for --from"},
        {{"--to", "-0"}, "bad value for --to: '-0' (allowed: seconds of show time, a finite number above 0)"},
        {{"--start", "soon"}, "bad value for --start"},
        {{"--from", "12", "--to", "12"}, "--to must come after --from"},
        {{"--fps", "30", "--fixed-step", "60"}, "--fps and --fixed-step ask for different steps"},
        {{"--windowed", "--fullscreen"}, "exclude each other"},
    };
    for (const Row& row : rows) {
        Parsed p = parse(row.args);
        EXPECT_FALSE(p.ok) << row.errorPart;
        EXPECT_NE(p.error.find(row.errorPart), std::string::npos) << p.error;
        // Every refused value comes with what the option takes.
        if (p.error.find("bad value") != std::string::npos) {
            EXPECT_NE(p.error.find(" (allowed: "), std::string::npos) << p.error;
        }
    }
    // What means a valid number is one: a sign, and the zero that has one.
    const Row good[] = {
        {{"--start", "-0"}, ""},   {{"--start=+0"}, ""},       {{"--from", "-0.0"}, ""},
        {{"--start", "+2.5"}, ""}, {{"--fixed-step", "+30"}, ""}, {{"--screenshot", "-0:a.png"}, ""},
    };
    for (const Row& row : good) {
        Parsed p = parse(row.args);
        EXPECT_TRUE(p.ok) << row.args[0] << ": " << p.error;
        EXPECT_FALSE(std::signbit(p.line.startSeconds) || std::signbit(p.line.fromSeconds)) << row.args[0];
    }
    EXPECT_EQ(parse({"--start", "+2.5"}).line.startSeconds, 2.5);
    EXPECT_EQ(parse({"--fixed-step", "+30"}).line.fixedStep, 30);
    // Unknown words are collected, and the first one is reported.
    Parsed p = parse({"--a", "--no-sound", "b"});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.line.unknown, (std::vector<std::string>{"--a", "b"}));
    EXPECT_EQ(p.error, "unknown option: --a");
    EXPECT_EQ(kUsageExitStatus, 64);
}

TEST(CommandLine, BenchmarkTakesAFileOnlyWhenOneFollows)
{
    struct Row {
        std::vector<const char*> args;
        bool ok;
        const char* file;
        int32_t fixedStep;
    };
    const Row rows[] = {
        {{"--benchmark"}, true, "", 0},
        {{"--benchmark", "frames.csv"}, true, "frames.csv", 0},
        {{"--benchmark=frames.csv", "--bare"}, true, "frames.csv", 0},
        {{"--benchmark", "--fixed-step", "10"}, true, "", 10},
        {{"--bare", "--benchmark", "a.csv", "--fixed-step", "10"}, true, "a.csv", 10},
        {{"--benchmark="}, false, "", 0},
        {{"--bare=yes"}, false, "", 0},
    };
    for (const Row& row : rows) {
        Parsed p = parse(row.args);
        EXPECT_EQ(p.ok, row.ok) << p.error;
        if (!row.ok)
            continue;
        EXPECT_TRUE(p.line.benchmark);
        EXPECT_EQ(p.line.benchmarkFile, row.file);
        EXPECT_EQ(p.line.fixedStep, row.fixedStep);
    }
    EXPECT_TRUE(parse({"--bare"}).line.bare);
    EXPECT_FALSE(parse({"--benchmark"}).line.bare);
}

TEST(CommandLine, UsageTextNamesEveryOption)
{
    const std::string text = usageText();
    for (const char* option : {"--help", "--version", "--no-dialog", "--size WxH", "--windowed", "--fullscreen",
                               "--no-aa", "--no-sound", "--fixed-step N", "--show-end", "--screenshot T:FILE",
                               "--capture FILE", "--benchmark [FILE]", "--bare", "--fps N", "--from T", "--to T",
                               "--start T", "ZUR_DEV_DIR", "ZUR_CALLER_DIR", "130", "143"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
    EXPECT_NE(versionText().find("Zoduv Aziridiru by ZUR - 2014"), std::string::npos);
}

TEST(CommandLine, ChoicesReachTheRecords)
{
    struct Row {
        std::vector<const char*> args;
        bool dialog;
        int width, height;
        int fullscreen, antialiased, sound;
    };
    // Starting from the entry's no-dialog values: 1280 x 720, windowed, antialiased.
    const Row rows[] = {
        {{}, true, 1280, 720, 0, 1, 1},
        {{"--no-sound"}, true, 1280, 720, 0, 1, 0},
        {{"--no-dialog"}, false, 1280, 720, 0, 1, 1},
        {{"--size", "800x450"}, false, 800, 450, 0, 1, 1},
        {{"--fullscreen", "--size", "1920x1080"}, false, 1920, 1080, 1, 1, 1},
        {{"--windowed"}, false, 1280, 720, 0, 1, 1},
        {{"--no-aa"}, false, 1280, 720, 0, 0, 1},
        {{"--fixed-step", "60"}, true, 1280, 720, 0, 1, 1},
    };
    for (const Row& row : rows) {
        Parsed p = parse(row.args);
        ASSERT_TRUE(p.ok) << p.error;
        const CommandLine& line = p.line;
        RunConfig config;
        RuntimeState state;
        DemoContext context;
        applyCommandLineSwitches(line, config);
        applyCommandLineWindow(line, state, config, context);
        std::string what = row.args.empty() ? "(none)" : row.args[0];
        EXPECT_EQ(config.showDialog != 0, row.dialog) << what;
        EXPECT_EQ(context.renderWidth, row.width) << what;
        EXPECT_EQ(context.windowWidth, row.width) << what;
        EXPECT_EQ(context.renderHeight, row.height) << what;
        EXPECT_EQ(context.windowHeight, row.height) << what;
        EXPECT_EQ(state.fullscreen, row.fullscreen) << what;
        EXPECT_EQ(config.antialiased, row.antialiased) << what;
        EXPECT_EQ(config.soundEnabled, row.sound) << what;
    }
}

// What a command line asks of a run, with and without a display.
TEST(RunPlan, DefaultsRangesAndStarts)
{
    struct Row {
        std::vector<const char*> args;
        bool display;
        const char* video; // "" for none
        int fps, fixedStep;
        bool headless, waitForDisplay;
        double drawFrom, showEnd;
        bool realTimeAfter, placeSound;
    };
    const Row rows[] = {
        {{}, true, "", 60, 0, false, true, 0, 0, false, false},
        {{}, false, "/calling/show.mp4", 30, 30, true, false, 0, 0, false, false},
        {{"--size", "640x360", "--fps", "24"}, false, "/calling/show.mp4", 24, 24, true, false, 0, 0, false, false},
        {{"--screenshot", "3:a.png"}, false, "", 60, 0, false, true, 0, 0, false, false},
        {{"--benchmark"}, false, "", 60, 60, false, false, 0, 0, false, false},
        {{"--capture", "x.mp4"}, true, "x.mp4", 60, 60, false, false, 0, 0, false, false},
        {{"--capture", "x.mp4", "--fixed-step", "25"}, true, "x.mp4", 25, 25, false, false, 0, 0, false, false},
        {{"--capture", "x.mp4", "--from", "10", "--to", "12", "--fps", "30"}, true, "x.mp4", 30, 30, false, false, 10,
         12, false, false},
        // A screenshot inside the range's lead-in is drawn; one after it keeps the show going.
        {{"--capture", "x.mp4", "--from", "10", "--to", "12", "--screenshot", "5:a.png", "--screenshot", "20:b.png"},
         true, "x.mp4", 60, 60, false, false, 5, 20, false, false},
        {{"--start", "100"}, true, "", 60, 60, false, true, 100, 0, true, true},
        {{"--start", "100", "--fixed-step", "15"}, true, "", 15, 15, false, false, 100, 0, false, true},
        {{"--start", "100", "--capture", "x.mp4", "--from", "50"}, true, "x.mp4", 60, 60, false, false, 100, 0, false,
         false},
        {{"--start", "100"}, false, "/calling/show.mp4", 30, 30, true, false, 100, 0, false, false},
    };
    for (const Row& row : rows) {
        Parsed p = parse(row.args);
        ASSERT_TRUE(p.ok) << p.error;
        RunPlan plan;
        std::string error;
        const std::string what = (row.args.empty() ? std::string("(none)") : row.args[0]) +
                                 (row.display ? " with a display" : " without a display");
        ASSERT_TRUE(planRun(p.line, row.display, 247.5, "/calling", plan, error)) << what << ": " << error;
        EXPECT_EQ(plan.recording.videoFile, row.video) << what;
        EXPECT_EQ(plan.recording.framesPerSecond, row.fps) << what;
        EXPECT_EQ(plan.fixedStep, row.fixedStep) << what;
        EXPECT_EQ(plan.headless, row.headless) << what;
        EXPECT_EQ(plan.offscreen, !row.display) << what;
        EXPECT_EQ(plan.waitForDisplay, row.waitForDisplay) << what;
        EXPECT_EQ(plan.start.seconds, row.drawFrom) << what;
        EXPECT_EQ(plan.showEnd, row.showEnd) << what;
        EXPECT_EQ(plan.start.realTimeAfter, row.realTimeAfter) << what;
        EXPECT_EQ(plan.start.placeSound, row.placeSound) << what;
        EXPECT_EQ(plan.record, row.video[0] != '\0' || !p.line.screenshots.empty()) << what;
    }

    struct Bad {
        std::vector<const char*> args;
        const char* errorPart;
    };
    const Bad bad[] = {
        {{"--fps", "30"}, "give --capture FILE.mp4"},
        {{"--to", "30"}, "give --capture FILE.mp4"},
        {{"--start", "300"}, "--start 300 s is past the end of the show (247.5 s)"},
        {{"--start", "10", "--show-end", "5"}, "past the end of the show (5 s)"},
        {{"--capture", "x.mp4", "--from", "250"}, "--from 250 s is past the end"},
        {{"--screenshot", "1:a.png", "--screenshot", "2:./a.png"}, "the later picture would replace the earlier"},
        {{"--screenshot", "1:s/../a.png", "--screenshot", "1:a.png"}, "--screenshot a.png is asked for at 1 s and at 1 s"},
    };
    for (const Bad& row : bad) {
        Parsed p = parse(row.args);
        ASSERT_TRUE(p.ok) << p.error;
        RunPlan plan;
        std::string error;
        EXPECT_FALSE(planRun(p.line, true, 247.5, "/calling", plan, error)) << row.errorPart;
        EXPECT_NE(error.find(row.errorPart), std::string::npos) << error;
    }
}

// The built program itself: usage errors end with status 64 and the usage text on
// standard error; --help and --version answer on standard output with status 0.
TEST(CommandLineProgram, ExitStatusesAndTexts)
{
    const std::string program = std::string(ZUR_BINARY_DIR) + "/zoduv";
    if (access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << "the program is not built: " << program;
    struct Row {
        const char* args;
        int status;
        const char* stdoutPart;
        const char* stderrPart;
    };
    const Row rows[] = {
        {"--bogus", 64, "", "zoduv: unknown option: --bogus\nUsage: zoduv [options]"},
        {"--size 12", 64, "", "Usage: zoduv [options]"},
        {"--fixed-step 1000000", 64, "",
         "zoduv: bad value for --fixed-step: '1000000' (allowed: a whole number of steps per second from 1 to "
         "100000)\nUsage: zoduv [options]"},
        {"extra", 64, "", "unexpected argument: extra"},
        {"--help", 0, "Usage: zoduv [options]", ""},
        {"--version", 0, "Zoduv Aziridiru by ZUR - 2014", ""},
        {"--help --bogus", 64, "", "unknown option: --bogus"},
    };
    const std::string out = std::string(ZUR_BINARY_DIR) + "/command_line_test.out";
    const std::string err = std::string(ZUR_BINARY_DIR) + "/command_line_test.err";
    for (const Row& row : rows) {
        std::string command = "'" + program + "' " + row.args + " >'" + out + "' 2>'" + err + "'";
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << row.args;
        EXPECT_EQ(WEXITSTATUS(status), row.status) << row.args;
        auto read = [](const std::string& path) {
            std::ifstream in(path);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        std::string said = read(out), complained = read(err);
        EXPECT_NE(said.find(row.stdoutPart), std::string::npos) << row.args << ": " << said;
        EXPECT_NE(complained.find(row.stderrPart), std::string::npos) << row.args << ": " << complained;
        if (row.status == 64) {
            EXPECT_EQ(said, "") << row.args;
        }
    }
    std::remove(out.c_str());
    std::remove(err.c_str());
}
