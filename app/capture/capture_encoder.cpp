// The encoder feed: buffers handed between the drawing thread and the writer
// thread that pipes them to ffmpeg.
#include "app/capture/capture_encoder.h"

#include "platform/process.h"

namespace {

constexpr int kEncoderBuffers = 3; // frames waiting for or inside the pipe

} // namespace

bool encoder_feed::start(const std::vector<std::string>& command, size_t frameBytes)
{
    child_ = startChildWithInput(command);
    if (!child_)
        return false;
    buffers_.assign(kEncoderBuffers, std::vector<unsigned char>(frameBytes));
    for (auto& b : buffers_)
        free_.push_back(&b);
    writer_ = std::thread([this] { run(); });
    return true;
}

std::vector<unsigned char>* encoder_feed::acquire()
{
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait(hold, [this] { return !free_.empty(); });
    std::vector<unsigned char>* frame = free_.front();
    free_.pop_front();
    return frame;
}

void encoder_feed::submit(std::vector<unsigned char>* frame)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        full_.push_back(frame);
    }
    wake_.notify_all();
}

int encoder_feed::finish()
{
    if (!child_)
        return -1;
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
    }
    wake_.notify_all();
    writer_.join();
    const int status = finishChild(child_);
    child_ = nullptr;
    return status;
}

void encoder_feed::run()
{
    for (;;) {
        std::vector<unsigned char>* frame = nullptr;
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [this] { return closing_ || !full_.empty(); });
            if (full_.empty())
                return;
            frame = full_.front();
            full_.pop_front();
        }
        // After a failure the frames are still taken, so the drawing thread
        // never waits for a buffer that cannot come back.
        if (!failed_.load() && !writeChild(child_, frame->data(), frame->size()))
            failed_.store(true);
        {
            std::lock_guard<std::mutex> hold(lock_);
            free_.push_back(frame);
        }
        wake_.notify_all();
    }
}
