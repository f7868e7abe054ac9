// Reading frames back for a recording: each picture goes into one of a ring of
// pixel-buffer objects and is taken out two frames later, so the read finishes
// while the next frames are drawn, and is packed into the encoder's YUV planes
// straight from the mapped buffer. Screenshots read the back buffer directly.
// Needs the window's GL context.
#pragma once
#include <deque>
#include <vector>

class encoder_feed;

constexpr int kReadbackRing = 3; // pixel buffers: the frame read now and two in flight

struct ReadbackRing {
    unsigned buffers[kReadbackRing] = {};
    std::deque<int> inFlight; // slots read into, oldest first
    int nextSlot = 0;
    int width = 0, height = 0; // of the frames recorded
};

// Makes the ring's buffers for frames of width x height.
void createReadbackRing(ReadbackRing& ring, int width, int height);
// Starts reading the back buffer into the next slot; when the ring is full, the
// oldest frame goes to the encoder first. False when that frame could not be read.
bool startReadback(ReadbackRing& ring, encoder_feed& encoder);
// Hands the oldest frame in the ring to the encoder; false when it could not be
// mapped (the recording misses it).
bool takeOldestReadback(ReadbackRing& ring, encoder_feed& encoder);
// Frees the buffers (frames still in flight are lost).
void deleteReadbackRing(ReadbackRing& ring);

// The back buffer as RGB rows, bottom row first, for a screenshot.
void readBackBuffer(std::vector<unsigned char>& pixels, int width, int height);
