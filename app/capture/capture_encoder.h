// The encoder feed of a recording: frames go round a few buffers between the
// drawing thread, which fills them, and a writer thread of their own, which pipes
// them to an ffmpeg process. Depends on the helper programs of platform/process.h.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ChildProcess;

// When the encoder falls behind, the drawing thread waits for a free buffer.
class encoder_feed {
public:
    // Starts ffmpeg (`command`) and the writer thread, with buffers of frameBytes
    // each. False when ffmpeg cannot start.
    bool start(const std::vector<std::string>& command, size_t frameBytes);
    bool running() const { return child_ != nullptr; }
    // ffmpeg stopped taking frames (it ended or its pipe broke).
    bool failed() const { return failed_.load(); }

    // A free buffer to fill, waiting for one if need be.
    std::vector<unsigned char>* acquire();
    // Queues a filled buffer for the pipe.
    void submit(std::vector<unsigned char>* frame);
    // Writes what is queued, ends ffmpeg's input and waits for it: its exit status.
    int finish();

private:
    void run();

    ChildProcess* child_ = nullptr;
    std::vector<std::vector<unsigned char>> buffers_;
    std::deque<std::vector<unsigned char>*> free_, full_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::atomic<bool> failed_{false};
    std::thread writer_;
};
