// The real start dialog on an X display, answered like a person would: xdotool
// presses keys and clicks, a small X client sends the window manager's close
// request. Runs on $DISPLAY, or on a private Xvfb when none is set; skipped when
// neither a display nor xdotool is available.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/dialog.h"

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
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
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
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            startPrivateServer();
    }
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
// second while that window is still there (a key that arrives before the dialog is
// ready is simply lost, as it would be for a person). Every xdotool call is bounded
// in time, and the script keeps none of the test's descriptors: a death test's
// status pipe held open by a stray helper would make its parent wait forever.
// Keys and clicks go through XTEST (no window argument), like real input.
pid_t answerDialog(const std::string& setup, const std::string& answer)
{
    std::string script = "W=$(timeout 20 xdotool search --sync --onlyvisible --name 'Zoduv aziridiru ZUR' | head -n 1);"
                         "[ -n \"$W\" ] || exit 1;"
                         "timeout 5 xdotool windowfocus $W; sleep 0.3;" + setup + ";"
                         "i=0; while [ $i -lt 40 ] && timeout 5 xdotool getwindowname $W >/dev/null 2>&1; do "
                         "timeout 5 " + answer + "; sleep 0.5; i=$((i+1)); done";
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
