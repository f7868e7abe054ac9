// Recording the show: screenshots at given show times (PNG), a video capture of a
// range of show time with the show's own mixed sound (pictures read back through a
// ring of pixel buffers and piped to ffmpeg from a thread of their own, sound pulled
// from the mixer in step with the fixed-step clock) and a progress bar. All of it
// runs on the finished back buffer, just before the swap. Frame times are the frame
// report's (frame_report.h).
#pragma once
#include <string>
#include <vector>

struct CommandLine;

// Exit status when something asked for was not recorded: a screenshot whose show
// time was never drawn or whose file could not be written, or a capture whose
// encoder or muxing failed.
constexpr int kExitRecording = 6;

struct CaptureSettings {
    std::vector<std::pair<double, std::string>> screenshots; // show time, PNG file
    std::string videoFile;                                    // empty: no capture
    int framesPerSecond = 60;
    double fromSeconds = 0; // the first frame recorded is the first at or after this show time
    double toSeconds = 0;   // frames from this show time on are not recorded; 0: none left out
    double endSeconds = 0;  // where the show ends, for the progress bar
};

// Prepares the recording; call before the window exists (it picks the sound
// output). From then on Ctrl+C and termination requests stop a capture in order
// instead of ending the process. 0 when ready; otherwise the status to end with and
// a message on standard error: 1 when ffmpeg cannot be found, kExitRecording when
// the capture's name cannot become a recording (a folder, a device or FIFO, no
// extension, a folder where the sound part cannot be written).
int startCapture(const CaptureSettings& settings);
// Called after each drawn frame, before the buffers are swapped.
void captureFrame(double showTime, int width, int height);
// The exit status a stop request asks for (130 for Ctrl+C, 143 for SIGTERM), or 0:
// the loop ends the show with it.
int captureStopStatus();
// Takes in the frames still being read back. Needs the GL context: call before the
// window is destroyed.
void flushCapture();
// Finishes the video (muxes picture and sound beside the file and renames the
// result onto it only when the recording is whole; a recording stopped by a
// request goes beside an earlier file of the name instead), reports screenshots
// that were not taken. Returns the status to exit with: the
// stop request's, kExitRecording when something was not recorded, else `status`.
// Runs by itself at process exit (the status then cannot change) if not called.
int finishCapture(int status);

