// Recording the show: screenshots at given show times (PNG) and a video capture
// with the show's own mixed sound (frames piped to ffmpeg, sound pulled from the
// mixer in step with the fixed-step clock). All of it runs on the finished back
// buffer, just before the swap. Frame times are the frame report's (frame_report.h).
#pragma once
#include <string>
#include <vector>

struct CommandLine;

struct CaptureSettings {
    std::vector<std::pair<double, std::string>> screenshots; // show time, PNG file
    std::string videoFile;                                    // empty: no capture
    int framesPerSecond = 60;
};

// Prepares the recording; call before the window exists (it picks the sound
// output). False with a message on standard error when ffmpeg cannot start.
bool startCapture(const CaptureSettings& settings);
// Called after each drawn frame, before the buffers are swapped.
void captureFrame(double showTime, int width, int height);
// Finishes the video (muxes picture and sound); runs by itself at process exit
// once capture has started.
void finishCapture();

// Writes an RGB image (rows bottom first, as GL reads them) as a PNG.
bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgbBottomUp);
