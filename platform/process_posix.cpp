// POSIX backend of the recording services: posix_spawn with a process group of the
// child's own (a Ctrl+C at the terminal goes to the foreground group only), pipes
// that never raise SIGPIPE, and stop requests recorded by a signal handler.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

struct ChildProcess {
    pid_t pid = -1;
    int input = -1; // write end of the child's standard input
};

namespace {

std::atomic<int> stopStatus{0};

// Children that run now, so that a second stop request can end them with this
// process instead of leaving them writing behind it. Each leads a process group.
constexpr int kWatchedChildren = 4;
std::atomic<pid_t> watchedChildren[kWatchedChildren];

void watch(pid_t pid)
{
    for (std::atomic<pid_t>& slot : watchedChildren) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid))
            return;
    }
}

void unwatch(pid_t pid)
{
    for (std::atomic<pid_t>& slot : watchedChildren) {
        pid_t expected = pid;
        if (slot.compare_exchange_strong(expected, 0))
            return;
    }
}

// Filled before they are needed and only read in the signal handler: plain
// arrays, since the handler may allocate nothing.
char hardStopNote[2048];
char hardStopRemoval[1024];
std::atomic<bool> hardStopReady{false};

void onStopRequest(int signalNumber)
{
    if (stopStatus.load() != 0) {
        // Second request: the person means it.
        for (std::atomic<pid_t>& slot : watchedChildren) {
            const pid_t pid = slot.load();
            if (pid > 0)
                ::kill(-pid, SIGKILL);
        }
        if (hardStopReady.load()) {
            if (hardStopRemoval[0])
                ::unlink(hardStopRemoval);
            if (hardStopNote[0]) {
                const ssize_t ignored = ::write(2, hardStopNote, std::strlen(hardStopNote));
                (void)ignored;
            }
        }
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
        return;
    }
    stopStatus.store(128 + signalNumber);
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Spawns argv in a new process group, standard input from `inputFd` (or
// /dev/null when it is negative). -1 on failure.
pid_t spawn(const std::vector<std::string>& argv, int inputFd)
{
    if (argv.empty())
        return -1;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (inputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, inputFd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The child starts with default signal handling whatever this process ignores.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

} // namespace

bool programAvailable(const std::string& program)
{
    const char* path = std::getenv("PATH");
    if (!path || program.empty())
        return false;
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
        struct stat info;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

ChildProcess* startChildWithInput(const std::vector<std::string>& argv)
{
    // Writing to a child that has gone must fail, not kill the show.
    ::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return nullptr;
    const pid_t pid = spawn(argv, ends[0]);
    ::close(ends[0]);
    if (pid < 0) {
        ::close(ends[1]);
        return nullptr;
    }
    auto* child = new ChildProcess;
    child->pid = pid;
    child->input = ends[1];
    watch(pid);
    return child;
}

bool writeChild(ChildProcess* child, const void* data, size_t bytes)
{
    if (!child || child->input < 0)
        return false;
    const char* at = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t done = ::write(child->input, at, bytes);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += done;
        bytes -= static_cast<size_t>(done);
    }
    return true;
}

int finishChild(ChildProcess* child)
{
    if (!child)
        return -1;
    if (child->input >= 0)
        ::close(child->input);
    const int status = waitFor(child->pid);
    unwatch(child->pid);
    delete child;
    return status;
}

int runProgram(const std::vector<std::string>& argv)
{
    const pid_t pid = spawn(argv, -1);
    return pid < 0 ? -1 : waitFor(pid);
}

ChildProcess* startChild(const std::vector<std::string>& argv)
{
    const pid_t pid = spawn(argv, -1);
    if (pid < 0)
        return nullptr;
    auto* child = new ChildProcess;
    child->pid = pid;
    watch(pid);
    return child;
}

bool waitChild(ChildProcess* child, double seconds, int& status)
{
    if (!child) {
        status = -1;
        return true;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int raw = 0;
        const pid_t got = ::waitpid(child->pid, &raw, WNOHANG);
        if (got == child->pid || (got < 0 && errno != EINTR)) {
            status = got == child->pid && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            unwatch(child->pid);
            if (child->input >= 0)
                ::close(child->input);
            delete child;
            return true;
        }
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void endChild(ChildProcess* child)
{
    if (!child)
        return;
    ::kill(-child->pid, SIGKILL);
    finishChild(child);
}

void setHardStopCleanup(const std::string& note, const std::string& removeFile)
{
    hardStopReady.store(false);
    std::strncpy(hardStopNote, note.c_str(), sizeof hardStopNote - 1);
    std::strncpy(hardStopRemoval, removeFile.size() < sizeof hardStopRemoval ? removeFile.c_str() : "",
                 sizeof hardStopRemoval - 1);
    hardStopReady.store(true);
}

void catchStopRequests()
{
    struct sigaction action = {};
    action.sa_handler = onStopRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int stopRequestStatus() { return stopStatus.load(); }

bool standardErrorIsTerminal() { return ::isatty(2) == 1; }

bool displayAvailable()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}
