// Developer state recording and playback: every frame the two flag blocks of
// FrameInput and one value per part slot, with the show time; saved to and loaded
// from "state.txt"; the digit keys restore the snapshot nearest a preset time.
#pragma once
#include <string>
#include <vector>

#include "engine/demo_context.h"

constexpr const char* kStateFile = "state.txt";
constexpr int kSnapshotElements = 9; // flags 0..8 and part slots 0..8 (slot 8 always 0)

struct StateSnapshot {
    std::vector<bool> flagsA;
    std::vector<bool> flagsB;
    std::vector<double> values;
    double time = 0; // show seconds
};

// Show seconds restored by the digit keys "0" to "7"; "8" and "9" have none.
constexpr double kPlaybackPresetSeconds[8] = {25, 146, 165, 200, 302, 265, 287, 293};

struct StateRecorder {

    std::vector<StateSnapshot> stateStore;
    StateSnapshot workingState;

    // Appends a snapshot of this frame: RuntimeState::showTime, flags 0..8 of both
    // blocks and the playbackValue of each filled part slot (0.0 for empty slots
    // and for element 8, which has no slot).
    void recordFrame(const RuntimeState& state, const FrameInput& input);

    // Copies the snapshot nearest to `time` into workingState (the first of equally
    // near ones). False, and nothing changed, when the store is empty.
    bool restoreNearest(double time);

    // For each digit key 0..7 held down in the key table, in key order: restore the
    // snapshot nearest its preset time and apply it. Applying sets flags 0..8 of both
    // blocks and the playbackValue of every filled part slot from workingState, as
    // far as the snapshot has elements. The show time is left alone.
    void applyPlaybackKeys(const RuntimeState& state, FrameInput& input);

    // Replaces the store with the file's snapshots. A missing or malformed file
    // (short, non-numeric, a bad count or a flag other than 0 or 1) loads nothing,
    // empties the store, says so on standard error and returns false.
    bool loadStates(const std::string& path);

    // Writes the store (truncating the file); false when the file cannot be written.
    bool saveStates(const std::string& path) const;

    // The file format, for tests and tools: reading from and writing to streams.
    static bool readStates(std::istream& in, std::vector<StateSnapshot>& out, std::string& error);
    static void writeStates(std::ostream& out, const std::vector<StateSnapshot>& store);
};
