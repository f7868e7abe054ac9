// The clipboard keeper on X11. keepClipboardText forks; the child starts a session
// of its own and forks again, and the grandchild runs this program's file afresh
// with ZUR_CLIPBOARD_KEEPER=serve in its environment, so the keeper holds none of
// the show's memory. The fresh image turns into the keeper before main would run
// (a static initialiser of this file): it reads the text from its standard input,
// a socket back to the program, takes CLIPBOARD on a connection of its own, says
// so on the socket, and answers requests for the text until another client takes
// the clipboard or the display goes away. Should the exec fail, the forked copy
// serves by itself. Texts longer than one X request (16 MB on common servers) are
// refused rather than sent in increments.
#include "platform/clipboard_keeper.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kKeeperVariable = "ZUR_CLIPBOARD_KEEPER";
constexpr const char* kKeeperSetting = "ZUR_CLIPBOARD_KEEPER=serve";
constexpr int kKeeperSocket = 0;             // the keeper's standard input
constexpr int kHandOverMilliseconds = 5000;  // the keeper answers in a few ms; a dead one never

// --------------------------------------------------------------------------
// The keeper
// --------------------------------------------------------------------------

// A requestor whose window vanished mid-answer is its own problem.
int ignoreXError(Display*, XErrorEvent*) { return 0; }
// The display went away: nobody is left to serve.
int leaveOnConnectionLoss(Display*) { ::_exit(0); }

std::string readToEnd(int fd)
{
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0)
            text.append(chunk, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR)
            return text;
    }
}

struct Atoms {
    Atom clipboard, targets, timestamp, utf8, text;
};

// Answers one request: the text as UTF8_STRING, STRING or TEXT, the list of those
// targets, or the time the selection was taken; anything else is refused.
void answer(Display* display, const XSelectionRequestEvent& request, const Atoms& atoms, Time since,
            const std::string& text, size_t maxBytes)
{
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = None;
    // Clients from before the current conventions name no property: the target is used.
    const Atom property = request.property != None ? request.property : request.target;
    const bool ours = request.selection == atoms.clipboard && (request.time == CurrentTime || request.time >= since);
    if (ours && request.target == atoms.targets) {
        const Atom offered[] = {atoms.targets, atoms.timestamp, atoms.utf8, XA_STRING, atoms.text};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 5);
        reply.property = property;
    } else if (ours && request.target == atoms.timestamp) {
        const long stamp = static_cast<long>(since);
        XChangeProperty(display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&stamp), 1);
        reply.property = property;
    } else if (ours && text.size() <= maxBytes &&
               (request.target == atoms.utf8 || request.target == XA_STRING || request.target == atoms.text)) {
        // The show's text is plain ASCII, which all three encodings share.
        const Atom type = request.target == XA_STRING ? XA_STRING : atoms.utf8;
        XChangeProperty(display, request.requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        reply.property = property;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(display);
}

[[noreturn]] void serve(int socket)
{
    const std::string text = readToEnd(socket);
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        ::_exit(1);
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(leaveOnConnectionLoss);
    const Atoms atoms{XInternAtom(display, "CLIPBOARD", False), XInternAtom(display, "TARGETS", False),
                      XInternAtom(display, "TIMESTAMP", False), XInternAtom(display, "UTF8_STRING", False),
                      XInternAtom(display, "TEXT", False)};
    const long requestUnits = XExtendedMaxRequestSize(display) > 0 ? XExtendedMaxRequestSize(display)
                                                                   : XMaxRequestSize(display);
    const size_t maxBytes = static_cast<size_t>(requestUnits) * 4 - 256;

    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, window, PropertyChangeMask);
    // Selections are taken with a server time, not CurrentTime: a change to a
    // property of our own window brings one back. The name also lets a person (or
    // a test) find the keeper among the display's windows.
    const char name[] = "zoduv clipboard";
    XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name), static_cast<int>(sizeof name - 1));
    XEvent event;
    do
        XNextEvent(display, &event);
    while (event.type != PropertyNotify);
    const Time since = event.xproperty.time;
    XSetSelectionOwner(display, atoms.clipboard, window, since);
    if (XGetSelectionOwner(display, atoms.clipboard) != window)
        ::_exit(1);
    const char owned = 'k';
    (void)!::write(socket, &owned, 1);
    ::close(socket);

    for (;;) {
        XNextEvent(display, &event);
        if (event.type == SelectionClear && event.xselectionclear.selection == atoms.clipboard)
            ::_exit(0);
        if (event.type == SelectionRequest)
            answer(display, event.xselectionrequest, atoms, since, text, maxBytes);
    }
}

// A fresh image started by keepClipboardText serves instead of running the program.
[[maybe_unused]] const bool startedAsKeeper = [] {
    const char* mode = std::getenv(kKeeperVariable);
    if (mode && std::strcmp(mode, "serve") == 0) {
        ::unsetenv(kKeeperVariable);
        serve(kKeeperSocket);
    }
    return false;
}();

// --------------------------------------------------------------------------
// Starting it
// --------------------------------------------------------------------------

// In the grandchild: the socket as standard input, nothing else of the program's
// files, no blocked signals; then the fresh image. Only calls that are safe in the
// forked copy of a threaded program come before the exec.
[[noreturn]] void becomeKeeper(int socket, const char* image, char* const argv[], char* const envp[])
{
    ::dup2(socket, kKeeperSocket);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    if (::close_range(3, ~0u, 0) != 0)
        for (int fd = 3, last = static_cast<int>(::sysconf(_SC_OPEN_MAX)); fd < last && fd < 65536; ++fd)
            ::close(fd);
    if (::chdir("/") != 0) {
        // The keeper needs no folder; the one it started in simply stays in use.
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(image, argv, envp);
    serve(kKeeperSocket);
}

bool sendAll(int socket, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool keeperOwnsClipboard(int socket)
{
    pollfd wait{socket, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&wait, 1, kHandOverMilliseconds)) < 0 && errno == EINTR) {
    }
    char answer = 0;
    return ready == 1 && ::read(socket, &answer, 1) == 1 && answer == 'k';
}

} // namespace

namespace platform {

bool keepClipboardText(const std::string& text)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    // Everything the grandchild needs is made here, before the fork.
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, kKeeperVariable, std::strlen(kKeeperVariable)) != 0)
            envp.push_back(*e);
    envp.push_back(const_cast<char*>(kKeeperSetting));
    envp.push_back(nullptr);
    char name[] = "zoduv-clipboard";
    char* const argv[] = {name, nullptr};
    // The program's own file by its name, so process lists show it as such.
    char image[4096];
    const ssize_t length = ::readlink("/proc/self/exe", image, sizeof image - 1);
    if (length <= 0)
        return false;
    image[length] = '\0';

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pair[0]);
        ::close(pair[1]);
        return false;
    }
    if (child == 0) {
        // A session of its own, and a grandchild that nobody waits for: the keeper
        // outlives the program and no terminal or process group takes it along.
        ::setsid();
        const pid_t keeper = ::fork();
        if (keeper != 0)
            ::_exit(keeper < 0 ? 1 : 0);
        becomeKeeper(pair[1], image, argv, envp.data());
    }
    ::close(pair[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool owned = sendAll(pair[0], text) && ::shutdown(pair[0], SHUT_WR) == 0 && keeperOwnsClipboard(pair[0]);
    ::close(pair[0]);
    return owned;
}

} // namespace platform
