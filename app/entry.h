// The program entry: display modes, start dialog or the command line's choices,
// the window with its start-up, then the message loop until the show ends or the
// window is closed.
#pragma once

struct CommandLine;

// Runs the show; returns the exit status of the window-close path (the other
// exits end the process from inside the frame driver).
int runShow(const CommandLine& line);

// The whole program behind the platform's process entry: the command line
// (usage errors, --help, --version), then the show.
int programMain(int argc, char** argv);
