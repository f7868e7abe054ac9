// Operating-system services of recording and of unattended runs: helper programs
// fed through a pipe, the stop requests (Ctrl+C, termination), the terminal and the
// display. Backends: process_posix.cpp, process_win32.cpp, offscreen_sdl.cpp.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// --- Helper programs ---
struct ChildProcess;

// True when `program` can be started from the search path.
bool programAvailable(const std::string& program);
// Starts argv[0] (looked up on the search path) with the given arguments; its
// standard input reads what writeChild sends. The child does not receive the stop
// requests meant for this program (Ctrl+C at the terminal): this program ends the
// child's input itself, so the child can finish its file. Null when it cannot start.
ChildProcess* startChildWithInput(const std::vector<std::string>& argv);
// Sends all the bytes. False once the child has stopped reading (it never raises a
// signal in this program). Callable from any one thread at a time.
bool writeChild(ChildProcess* child, const void* data, size_t bytes);
// Ends the child's input, waits for it and frees the handle: its exit status, or -1
// when it died of a signal.
int finishChild(ChildProcess* child);
// Runs a program to its end with empty standard input, out of reach of the stop
// requests: its exit status, or -1 when it could not start or died of a signal.
int runProgram(const std::vector<std::string>& argv);
// Starts a program with empty standard input, out of reach of the stop requests.
// Null when it cannot start.
ChildProcess* startChild(const std::vector<std::string>& argv);
// Waits up to `seconds` for the child: true once it has ended, with its exit status
// (-1 when it died of a signal) and the handle freed; false while it runs.
bool waitChild(ChildProcess* child, double seconds, int& status);
// Ends the child (and what it started) at once, waits for it and frees the handle.
void endChild(ChildProcess* child);

// --- Stop requests ---
// From now on Ctrl+C and termination requests are recorded instead of ending the
// process, so a recording can be closed in order; a second request ends the
// process at once, and with it every child started here that still runs.
void catchStopRequests();
// What a second request does besides: the line it writes on standard error (empty:
// none) and the file it removes (empty: none).
void setHardStopCleanup(const std::string& note, const std::string& removeFile);
// 0 while none came; otherwise the exit status that says which came: 130 for
// Ctrl+C (SIGINT), 143 for a termination request (SIGTERM).
int stopRequestStatus();

// --- Terminal and display ---
// True when standard error is shown on a terminal (a progress line can be redrawn).
bool standardErrorIsTerminal();
// True when a window can be shown to a person.
bool displayAvailable();
// The window and GL context that come next are drawn offscreen by the GL driver:
// nothing is shown and no display is needed. Call before the window exists.
void useOffscreenDisplay();
