// Operating-system services of recording: what happens when the encoder that a
// pipe feeds goes away. Backends: process_posix.cpp, process_win32.cpp.
#pragma once

// A write to a pipe whose reader has gone fails with an error instead of ending
// the program.
void ignoreBrokenPipes();
