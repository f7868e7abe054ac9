// The pixel-buffer ring and the screenshot read-back.
#include "app/capture/capture_readback.h"

#include <algorithm>
#include <cstdint>

#include "gl/gl_api.h"

#include "app/capture/capture_encoder.h"
#include "app/capture/yuv_planes.h"

namespace {

size_t readbackBytes(const ReadbackRing& ring) { return static_cast<size_t>(ring.width) * ring.height * 4; }

} // namespace

void createReadbackRing(ReadbackRing& ring, int width, int height)
{
    ring.width = width;
    ring.height = height;
    glGenBuffers(kReadbackRing, ring.buffers);
    for (unsigned buffer : ring.buffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(readbackBytes(ring)), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

bool takeOldestReadback(ReadbackRing& ring, encoder_feed& encoder)
{
    const int slot = ring.inFlight.front();
    ring.inFlight.pop_front();
    glBindBuffer(GL_PIXEL_PACK_BUFFER, ring.buffers[slot]);
    const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (pixels) {
        std::vector<unsigned char>* frame = encoder.acquire();
        packYuvPlanes(static_cast<const uint8_t*>(pixels), ring.width, ring.height, frame->data());
        encoder.submit(frame);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return pixels != nullptr;
}

bool startReadback(ReadbackRing& ring, encoder_feed& encoder)
{
    const int slot = ring.nextSlot;
    ring.nextSlot = (slot + 1) % kReadbackRing;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, ring.buffers[slot]);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    // BGRA is the layout the GL driver keeps, so the copy needs no conversion.
    glReadPixels(0, 0, ring.width, ring.height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    ring.inFlight.push_back(slot);
    // Keep two frames in flight: the next read goes into the slot freed now.
    if (static_cast<int>(ring.inFlight.size()) == kReadbackRing)
        return takeOldestReadback(ring, encoder);
    return true;
}

void deleteReadbackRing(ReadbackRing& ring)
{
    if (!ring.buffers[0])
        return;
    glDeleteBuffers(kReadbackRing, ring.buffers);
    std::fill(std::begin(ring.buffers), std::end(ring.buffers), 0u);
}

void readBackBuffer(std::vector<unsigned char>& pixels, int width, int height)
{
    pixels.resize(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
}
