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
#include <cstdlib>

extern char** environ;

struct ChildProcess {
    pid_t pid = -1;
    int input = -1; // write end of the child's standard input
};

namespace {

std::atomic<int> stopStatus{0};

void onStopRequest(int signalNumber)
{
    if (stopStatus.load() != 0) {
        // Second request: the person means it.
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
    delete child;
    return status;
}

int runProgram(const std::vector<std::string>& argv)
{
    const pid_t pid = spawn(argv, -1);
    return pid < 0 ? -1 : waitFor(pid);
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
