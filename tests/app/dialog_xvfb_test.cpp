// The real start dialog on an X display, answered like a person would: xdotool
// presses keys and clicks, a small X client sends the window manager's close
// request. Runs on a private Xvfb, or on $DISPLAY when Xvfb is missing; skipped
// when there is no display or no xdotool.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialog.h"
#include "app/display_modes.h"

namespace {

constexpr int kDialogTimeoutSeconds = 60; // a dialog nobody answers must not hang the suite

bool haveProgram(const char* name)
{
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

pid_t privateServer = 0;

// Starts Xvfb on a free display number and points DISPLAY at it.
bool startPrivateServer()
{
    if (!haveProgram("Xvfb"))
        return false;
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        // The server goes when the test goes, even when an alarm ends the test,
        // and keeps its chatter out of the test's output.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        // -noreset: otherwise the server resets whenever its last client leaves,
        // and a client connecting during the reset (the next death-test child)
        // is turned away.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return false;
    }
    privateServer = pid;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

class DisplayEnvironment : public testing::Environment {
public:
    // A private server first: keys and focus on a shared display could reach
    // another test's windows (and theirs ours) when tests run side by side.
    void SetUp() override { startPrivateServer(); }
    void TearDown() override
    {
        if (privateServer > 0) {
            kill(privateServer, SIGTERM);
            waitpid(privateServer, nullptr, 0);
        }
    }
};

const testing::Environment* const displayEnvironment = testing::AddGlobalTestEnvironment(new DisplayEnvironment);

bool displayUsable()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

#define REQUIRE_DISPLAY_AND_XDOTOOL()                                                                 \
    do {                                                                                             \
        if (!displayUsable())                                                                        \
            GTEST_SKIP() << "no X display (set DISPLAY or install Xvfb)";                            \
        if (!haveProgram("xdotool"))                                                                 \
            GTEST_SKIP() << "xdotool is not installed";                                              \
    } while (0)

// Answers the dialog from a background shell script: waits for the window (its id
// in $W), gives it the focus, runs `setup` once, then repeats `answer` every half
// second while that window is still there (a key that arrives before the dialog
// is ready is lost, as it would be for a person), and runs `after` once it is
// gone. Every xdotool call is bounded in time, and the script keeps none of the
// test's descriptors: a death test's status pipe held open by a stray helper would
// make its parent wait forever. Keys and clicks go through XTEST, like real input.
pid_t answerDialog(const std::string& setup, const std::string& answer, const std::string& after = "true")
{
    std::string script = "W=$(timeout 20 xdotool search --sync --onlyvisible --name 'Zoduv aziridiru ZUR' | head -n 1);"
                         "[ -n \"$W\" ] || exit 1;"
                         "timeout 5 xdotool windowfocus $W; sleep 0.3;" + setup + ";"
                         "i=0; while [ $i -lt 40 ] && timeout 5 xdotool getwindowname $W >/dev/null 2>&1; do "
                         "timeout 5 " + answer + "; sleep 0.5; i=$((i+1)); done;" + after;
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the dialog's process
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        execlp("sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid > 0 ? pid : 0;
}

// A click at (x, y) pixels of the dialog's client area.
std::string clickAt(int x, int y)
{
    return "timeout 5 xdotool mousemove --window $W " + std::to_string(x) + " " + std::to_string(y) +
           "; sleep 0.1; timeout 5 xdotool click 1; sleep 0.2";
}

int waitFor(pid_t pid)
{
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
    return status;
}

struct Records {
    RuntimeState state;
    RunConfig config;
    DemoContext context;
};

// Finds the top-level window whose name contains `part`, searching the whole tree.
Window findWindow(Display* display, Window from, const char* part)
{
    char* name = nullptr;
    if (XFetchName(display, from, &name) && name) {
        bool match = std::strstr(name, part) != nullptr;
        XFree(name);
        if (match)
            return from;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, from, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = findWindow(display, children[i], part);
        if (children)
            XFree(children);
    }
    return found;
}

// What a window manager does when the close box is clicked: a WM_DELETE_WINDOW
// message to the client. Sent from a child process with its own connection.
pid_t closeBoxSoon()
{
    pid_t pid = fork();
    if (pid != 0)
        return pid > 0 ? pid : 0;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int fd = 3; fd < 1024; ++fd)
        close(fd);
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        _exit(1);
    Window window = 0;
    for (int tries = 0; tries < 200 && !window; ++tries) {
        window = findWindow(display, DefaultRootWindow(display), "Zoduv aziridiru ZUR");
        if (!window)
            usleep(50000);
    }
    if (window) {
        usleep(300000);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }
    XCloseDisplay(display);
    _exit(window ? 0 : 1);
}

} // namespace

TEST(StartDialogOnX, ReturnRunsTheDefaultChoice)
{
    REQUIRE_DISPLAY_AND_XDOTOOL();
    alarm(kDialogTimeoutSeconds);
    Records r;
    r.state.displayModes = {{800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
    r.config.antialiased = 0; // the box starts checked whatever the compiled-in value
    pid_t helper = answerDialog("true", "xdotool key Return");
    EXPECT_TRUE(runStartDialog(r.state, r.config, r.context));
    waitFor(helper);
    alarm(0);
    EXPECT_EQ(r.context.renderWidth, 1280);
    EXPECT_EQ(r.context.renderHeight, 720);
    EXPECT_EQ(r.context.windowWidth, 1280);
    EXPECT_EQ(r.context.windowHeight, 720);
    EXPECT_EQ(r.config.antialiased, 1);
    EXPECT_EQ(r.state.fullscreen, 1); // "Windowed" starts unchecked
    EXPECT_EQ(r.config.dialogFirstInit, 0);
}

TEST(StartDialogOnX, ClickingTheTogglesChangesTheChoice)
{
    REQUIRE_DISPLAY_AND_XDOTOOL();
    alarm(kDialogTimeoutSeconds);
    Records r;
    r.state.displayModes = {{1280, 720}, {800, 600}, {1024, 768}, {1440, 900}};
    // Centres of "Antialiased" (18, 37, 62 x 15) and "Windowed" (108, 37, 62 x 15)
    // at two pixels per dialog unit.
    pid_t helper = answerDialog(clickAt(98, 88) + ";" + clickAt(278, 88), "xdotool key Return");
    EXPECT_TRUE(runStartDialog(r.state, r.config, r.context));
    waitFor(helper);
    alarm(0);
    // 1280 x 720 listed first loses to the last 1024 x 768.
    EXPECT_EQ(r.context.renderWidth, 1024);
    EXPECT_EQ(r.context.renderHeight, 576);
    EXPECT_EQ(r.config.antialiased, 0);
    EXPECT_EQ(r.state.fullscreen, 0);
}

TEST(StartDialogOnX, EmptyModeListRunsWindowed)
{
    REQUIRE_DISPLAY_AND_XDOTOOL();
    alarm(kDialogTimeoutSeconds);
    Records r;
    pid_t helper = answerDialog("true", "xdotool key Return");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(runStartDialog(r.state, r.config, r.context));
    std::string said = testing::internal::GetCapturedStderr();
    waitFor(helper);
    alarm(0);
    EXPECT_NE(said.find("windowed at 1280 x 720"), std::string::npos) << said;
    EXPECT_EQ(r.context.renderWidth, 1280);
    EXPECT_EQ(r.context.renderHeight, 720);
    EXPECT_EQ(r.state.fullscreen, 0);
}

TEST(StartDialogOnXDeathTest, QuitEscapeAndTheCloseBoxEndTheProgramWithZero)
{
    REQUIRE_DISPLAY_AND_XDOTOOL();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto runAnswered = [](const std::string& answer) {
        alarm(kDialogTimeoutSeconds);
        Records r;
        r.state.displayModes = {{1280, 720}};
        pid_t helper = answer.empty() ? closeBoxSoon() : answerDialog("true", answer);
        runStartDialog(r.state, r.config, r.context);
        waitFor(helper);
        std::_Exit(3); // not reached: every one of these answers ends the process
    };
    // "Quit" (145, 61, 24 x 21) clicked at its centre.
    EXPECT_EXIT(runAnswered(clickAt(314, 143)), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(runAnswered("xdotool key Escape"), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(runAnswered(""), testing::ExitedWithCode(0), ""); // the close box
}

// ---------------------------------------------------------------------------
// The whole program: the dialog answered with Return starts the show with the
// default choice. Needs the built program and its generated show folder.

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the program in `folder` with `env` added, its output to `output`.
pid_t startProgram(const fs::path& folder, const std::vector<std::string>& env,
                   const std::vector<std::string>& args, const fs::path& output)
{
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(strdup(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The program's wait status, or -1 (and the program killed) after `seconds`.
int waitProgram(pid_t pid, int seconds)
{
    for (int tenths = 0; tenths < seconds * 10; ++tenths) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        usleep(100000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

bool developerBuild(const fs::path& program)
{
    std::string command = "'" + program.string() + "' --version";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char line[256] = {};
    bool developer = std::fgets(line, sizeof line, pipe) && std::strstr(line, "developer build");
    pclose(pipe);
    return developer;
}

size_t countLines(const std::string& text)
{
    size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

} // namespace

TEST(ShowOnX, ReturnStartsTheShowWithTheDefaultChoice)
{
    REQUIRE_DISPLAY_AND_XDOTOOL();
    const fs::path program = fs::path(ZUR_BINARY_DIR) / "zoduv";
    const fs::path show = ZUR_SHOW_DIR;
    if (!fs::exists(program) || !fs::exists(show / "newobjects"))
        GTEST_SKIP() << "needs the built program and its show folder " << show;

    // A copy of the show folder: a developer build writes state.txt where it runs.
    const fs::path work = fs::path(ZUR_BINARY_DIR) / "dialog_xvfb_test_show";
    fs::remove_all(work);
    fs::copy(show, work, fs::copy_options::recursive);
    const fs::path dev = work / "dev";
    fs::create_directories(dev / "logs");
    fs::create_directories(dev / "wellspring" / "textures");
    const fs::path geometry = work / "geometry.txt";
    const fs::path output = work / "output.txt";

    // Escape one second into the show runs the exit fade, where a developer build
    // also saves its recorded states. A refused full-screen switch is answered
    // "use windowed mode", so the size is the same either way.
    const std::vector<std::string> env = {"ZUR_DEV_DIR=" + dev.string(), "ZUR_MESSAGEBOX_ANSWER=yes",
                                          "SDL_AUDIODRIVER=dummy", "ZUR_TEST_INPUT=1.0:escape"};
    pid_t pid = startProgram(work, env, {program.string(), "--fixed-step", "60"}, output);
    ASSERT_GT(pid, 0);
    // Once the dialog is gone, the show's own window is measured: the visible one
    // of the program's window class (its caption changes every frame in a
    // developer build).
    pid_t helper = answerDialog("true", "xdotool key Return",
                                "timeout 60 xdotool search --sync --onlyvisible --class '^zoduv$' getwindowgeometry > '" +
                                    geometry.string() + "' 2>&1");
    int status = waitProgram(pid, 240);
    waitFor(helper);
    const std::string said = readText(output);
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << "the show did not end by itself\n" << said;
    EXPECT_EQ(WEXITSTATUS(status), 0) << said;
    // The default choice of a display whose only mode is 1280 x 1024 (the private
    // server): that width, forced to 16:9, and full screen, which the server
    // refuses, so the program asks and goes on windowed; on another display the
    // size is at least forced to 16:9.
    const std::string measured = readText(geometry);
    int width = 0, height = 0;
    size_t at = measured.find("Geometry: ");
    ASSERT_NE(at, std::string::npos) << measured << "\n" << said;
    ASSERT_EQ(std::sscanf(measured.c_str() + at, "Geometry: %dx%d", &width, &height), 2) << measured;
    EXPECT_EQ(height, derivedHeight(width)) << measured;
    if (privateServer > 0) {
        EXPECT_EQ(width, 1280) << measured;
    }
    EXPECT_TRUE(said.find("Use Windowed Mode Instead?") != std::string::npos ||
                measured.find("Position: 0,0") != std::string::npos)
        << "full screen was not asked for\n" << measured << "\n" << said;

    if (!developerBuild(program)) {
        EXPECT_FALSE(fs::exists(work / "state.txt")); // a release build writes no files
        return;
    }
    // The developer build's files, in the developer folder.
    const std::string log = readText(dev / "logs" / "chrysalis2.log");
    EXPECT_EQ(log.substr(0, 5), "2400\n");
    EXPECT_EQ(countLines(log), 1u + 3 * 2400);
    EXPECT_NE(readText(dev / "3dsjpglist4.txt").find("-- JPG Sorted"), std::string::npos);
    std::ifstream states(work / "state.txt");
    long long count = 0;
    ASSERT_TRUE(states >> count);
    EXPECT_GE(count, 50); // about a second at 60 frames a second
    double time = 0, elements = 0;
    ASSERT_TRUE(states >> time >> elements);
    EXPECT_EQ(elements, 9.0);
}
