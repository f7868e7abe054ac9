// Command-line parsing and the usage text.
#include "app/command_line.h"

#include "app/show_folder.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kMaxWindowSide = 16384;  // pixels
constexpr int32_t kMaxFixedStep = 100000;  // frames per second
constexpr int32_t kMaxVideoRate = 1000;    // frames per second of a capture

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text after an optional sign, which people write as they would any number.
size_t afterSign(const std::string& text) { return !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0; }

// Whole decimal number in [lo, hi], nothing else in the text.
bool parseInt(const std::string& text, int32_t lo, int32_t hi, int32_t& out)
{
    const size_t digits = afterSign(text);
    if (digits >= text.size() || !isDigit(text[digits]))
        return false;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < lo || value > hi)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

// Finite, non-negative decimal number, nothing else in the text. "-0" is 0.
bool parseSeconds(const std::string& text, double& out)
{
    const size_t digits = afterSign(text);
    if (digits >= text.size() || !(isDigit(text[digits]) || text[digits] == '.'))
        return false;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || value < 0)
        return false;
    out = value + 0.0; // a negative zero becomes a plain one
    return true;
}

bool parseSize(const std::string& text, int32_t& width, int32_t& height)
{
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    return parseInt(text.substr(0, x), 1, kMaxWindowSide, width) &&
           parseInt(text.substr(x + 1), 1, kMaxWindowSide, height);
}

// "T:FILE": the show time in seconds, then the file.
bool parseScreenshot(const std::string& text, ScreenshotRequest& out)
{
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 >= text.size())
        return false;
    out.file = text.substr(colon + 1);
    return parseSeconds(text.substr(0, colon), out.showSeconds);
}

enum class Takes { nothing, value, optionalValue };

struct OptionInfo {
    const char* name;
    Takes takes;
};

constexpr OptionInfo kOptions[] = {
    {"--help", Takes::nothing},      {"--version", Takes::nothing},  {"--no-dialog", Takes::nothing},
    {"--windowed", Takes::nothing},  {"--fullscreen", Takes::nothing}, {"--no-aa", Takes::nothing},
    {"--no-sound", Takes::nothing},  {"--size", Takes::value},
    {"--fixed-step", Takes::value},  {"--screenshot", Takes::value}, {"--capture", Takes::value},
    {"--show-end", Takes::value},    {"--fps", Takes::value},        {"--from", Takes::value},
    {"--to", Takes::value},          {"--start", Takes::value},
    {"--bare", Takes::nothing},      {"--benchmark", Takes::optionalValue},
};

// What the option's value may be, for the message that refuses one.
std::string allowedValues(const std::string& name)
{
    if (name == "--size")
        return "WxH, each side a whole number of pixels from 1 to " + std::to_string(kMaxWindowSide);
    if (name == "--fixed-step")
        return "a whole number of steps per second from 1 to " + std::to_string(kMaxFixedStep);
    if (name == "--fps")
        return "a whole number of frames per second from 1 to " + std::to_string(kMaxVideoRate);
    if (name == "--show-end" || name == "--to")
        return "seconds of show time, a finite number above 0";
    if (name == "--from" || name == "--start")
        return "seconds of show time, a finite number from 0 on";
    if (name == "--screenshot")
        return "T:FILE.png, T in seconds of show time from 0 on";
    if (name == "--capture")
        return "a file name such as show.mp4";
    return "a file name such as frames.csv"; // --benchmark=
}

const OptionInfo* findOption(const std::string& name)
{
    for (const OptionInfo& option : kOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

} // namespace

bool parseCommandLine(int argc, char** argv, CommandLine& out, std::string& error)
{
    out = CommandLine{};
    error.clear();
    out.anyArgument = argc > 1;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i] ? argv[i] : "";
        std::string name = word, value;
        bool inlineValue = false;
        size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
            inlineValue = true;
        }
        const OptionInfo* option = findOption(name);
        if (!option) {
            out.unknown.push_back(word);
            if (error.empty())
                error = (word.rfind("-", 0) == 0 ? "unknown option: " : "unexpected argument: ") + word;
            continue;
        }
        if (option->takes == Takes::nothing && inlineValue) {
            if (error.empty())
                error = name + " takes no value";
            continue;
        }
        if (option->takes == Takes::optionalValue && !inlineValue && i + 1 < argc && argv[i + 1] &&
            argv[i + 1][0] != '-')
            value = argv[++i];
        if (option->takes == Takes::value && !inlineValue) {
            if (i + 1 >= argc) {
                if (error.empty())
                    error = name + " needs a value";
                continue;
            }
            value = argv[++i];
        }

        bool good = true;
        if (name == "--help") out.help = true;
        else if (name == "--version") out.version = true;
        else if (name == "--no-dialog") out.noDialog = true;
        else if (name == "--windowed") out.windowed = true;
        else if (name == "--fullscreen") out.fullscreen = true;
        else if (name == "--no-aa") out.noAa = true;
        else if (name == "--no-sound") out.noSound = true;
        else if (name == "--benchmark") { out.benchmark = true; out.benchmarkFile = value; good = !(inlineValue && value.empty()); }
        else if (name == "--bare") out.bare = true;
        else if (name == "--size") good = parseSize(value, out.width, out.height);
        else if (name == "--fixed-step") good = parseInt(value, 1, kMaxFixedStep, out.fixedStep);
        else if (name == "--show-end") good = parseSeconds(value, out.showEnd) && out.showEnd > 0;
        else if (name == "--capture") { out.capture = value; good = !value.empty(); }
        else if (name == "--fps") good = parseInt(value, 1, kMaxVideoRate, out.framesPerSecond);
        else if (name == "--from") good = parseSeconds(value, out.fromSeconds);
        else if (name == "--to") good = parseSeconds(value, out.toSeconds) && out.toSeconds > 0;
        else if (name == "--start") good = parseSeconds(value, out.startSeconds);
        else if (name == "--screenshot") {
            ScreenshotRequest shot;
            good = parseScreenshot(value, shot);
            if (good)
                out.screenshots.push_back(shot);
        }
        if (!good && error.empty())
            error = "bad value for " + name + ": '" + value + "' (allowed: " + allowedValues(name) + ")";
    }
    if (error.empty() && out.windowed && out.fullscreen)
        error = "--windowed and --fullscreen exclude each other";
    if (error.empty() && out.toSeconds > 0 && out.toSeconds <= out.fromSeconds)
        error = "--to must come after --from";
    if (error.empty() && out.framesPerSecond > 0 && out.fixedStep > 0 && out.framesPerSecond != out.fixedStep)
        error = "--fps and --fixed-step ask for different steps";
    return error.empty();
}

std::string usageText()
{
    return std::string("Usage: zoduv [options]\n"
           "With no options the start dialog asks for the resolution, antialiasing and\n"
           "windowed or full-screen mode.\n"
           "\n"
           "Options:\n"
           "  --help               print this text and exit\n"
           "  --version            print the version and exit\n"
           "  --no-dialog          skip the dialog: windowed 1280 x 720\n"
           "  --size WxH           window size in pixels (skips the dialog)\n"
           "  --windowed           run in a window (skips the dialog)\n"
           "  --fullscreen         switch the display to the window size (skips the dialog)\n"
           "  --no-aa              no antialiasing (skips the dialog)\n"
           "  --no-sound           no music and no pencil sound\n"
           "  --fixed-step N       advance the show by 1/N s per frame instead of the clock\n"
           "  --show-end S         end the show after S seconds of show time\n"
           "  --screenshot T:FILE  save the frame at show time T seconds as a PNG (repeatable)\n"
           "  --capture FILE       record the show with its sound to a video file\n"
           "  --fps N              frames per second of the recording (default 60, headless\n"
           "                       30); the show then steps by exactly 1/N s\n"
           "  --from T             record from show time T on (the show before it runs\n"
           "                       without drawing)\n"
           "  --to T               record up to show time T, not including it; the show\n"
           "                       ends there\n"
           "  --start T            play from show time T: the show up to T is simulated\n"
           "                       without drawing, then it plays in real time with its\n"
           "                       music from there (screenshots and captures too)\n"
           "  --benchmark [FILE]   run the show as fast as possible and report frame times by\n"
           "                       section, beside a bare frame; FILE: one CSV row per frame\n"
           "  --bare               draw nothing inside the scene's passes (the renderer's floor)\n"
           "\n"
           "Without a display (no DISPLAY and no WAYLAND_DISPLAY) and without --capture,\n"
           "--screenshot or --benchmark, the show records itself offscreen to show.mp4 in\n"
           "the calling folder: 1280 x 720 at 30 frames/s unless --size or --fps say\n"
           "otherwise. Ctrl+C or SIGTERM stops a recording in order: the file keeps what\n"
           "was recorded, and goes beside an earlier file of its name as\n"
           "FILE.stopped-at-Ts.mp4 instead of replacing it.\n"
           "\n") +
           showFolderHelpText() +
           "\n"
           "Environment:\n"
           "  ZUR_DEV_DIR          developer build: folder that stands for the drive of the\n"
           "                       developer files (frame-rate log, asset report and its\n"
           "                       collection folder); default ./dev; not created\n"
           "  ZUR_CALLER_DIR       the calling folder, for launchers that start the show in\n"
           "                       its asset folder (./run.sh sets it)\n"
           "\n"
           "Exit status: 0 at the end of the show, on Escape and on Quit; 1 to 4 on\n"
           "start-up failures (sound, camera keys, textures, pencil track); 5 when a\n"
           "render target or texture is too large for memory or the graphics driver; 6\n"
           "when a screenshot or recording asked for was not made; 64 on a usage error;\n"
           "130 (Ctrl+C) or 143 (SIGTERM) when a recording was stopped.\n";
}

std::string versionText()
{
#if ZUR_DEVELOPER
    return "zoduv 1.0 (Zoduv Aziridiru by ZUR - 2014), developer build";
#else
    return "zoduv 1.0 (Zoduv Aziridiru by ZUR - 2014)";
#endif
}

bool commandLineChoosesMode(const CommandLine& line)
{
    return line.noDialog || line.width > 0 || line.windowed || line.fullscreen || line.noAa;
}

void applyCommandLineSwitches(const CommandLine& line, RunConfig& config)
{
    if (commandLineChoosesMode(line))
        config.showDialog = 0;
    if (line.noSound)
        config.soundEnabled = 0;
}

void applyCommandLineWindow(const CommandLine& line, RuntimeState& state, RunConfig& config,
                            DemoContext& context)
{
    if (line.width > 0) {
        context.renderWidth = context.windowWidth = line.width;
        context.renderHeight = context.windowHeight = line.height;
    }
    if (line.fullscreen)
        state.fullscreen = 1;
    if (line.windowed)
        state.fullscreen = 0;
    if (line.noAa)
        config.antialiased = 0;
}
