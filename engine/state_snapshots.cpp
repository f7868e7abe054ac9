// State snapshots: recorder, nearest-snapshot restore, digit-key playback and the
// "state.txt" text format.
#include "engine/state_snapshots.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>

#include "base/file_bytes.h"

namespace {

constexpr double kNoSnapshotDistance = 1e14; // seconds; any recorded time is nearer
constexpr int kPartSlots = 8;
constexpr int kFlagCount = 32;
constexpr int kDigitKeyZero = '0'; // virtual-key code of the digit row's "0"

// Whole count in [0, limit] read as a double, as the format stores it.
bool readCount(std::istream& in, double limit, size_t& out)
{
    double value = 0;
    if (!(in >> value) || !(value >= 0) || value > limit || value != std::floor(value))
        return false;
    out = static_cast<size_t>(value);
    return true;
}

void applyWorkingState(const StateSnapshot& snapshot, const RuntimeState& state, FrameInput& input)
{
    for (int k = 0; k < kSnapshotElements && k < kFlagCount; ++k) {
        if (static_cast<size_t>(k) < snapshot.flagsA.size())
            input.flagsA[k] = snapshot.flagsA[k];
        if (static_cast<size_t>(k) < snapshot.flagsB.size())
            input.flagsB[k] = snapshot.flagsB[k];
    }
    for (int k = 0; k < kPartSlots; ++k)
        if (state.partList[k] && static_cast<size_t>(k) < snapshot.values.size())
            state.partList[k]->playbackValue = snapshot.values[k];
}

} // namespace

void StateRecorder::recordFrame(const RuntimeState& state, const FrameInput& input)
{
    workingState.time = state.showTime;
    workingState.flagsA.clear();
    workingState.flagsB.clear();
    workingState.values.clear();
    for (int k = 0; k < kSnapshotElements; ++k) {
        workingState.flagsA.push_back(input.flagsA[k]);
        workingState.flagsB.push_back(input.flagsB[k]);
        parts* part = k < kPartSlots ? state.partList[k] : nullptr;
        workingState.values.push_back(part ? part->playbackValue : 0.0);
    }
    stateStore.push_back(workingState);
}

bool StateRecorder::restoreNearest(double time)
{
    double best = kNoSnapshotDistance;
    const StateSnapshot* winner = nullptr;
    for (const StateSnapshot& snapshot : stateStore) {
        double distance = std::fabs(snapshot.time - time);
        if (distance < best) {
            best = distance;
            winner = &snapshot;
        }
    }
    if (!winner)
        return false;
    workingState = *winner;
    return true;
}

void StateRecorder::applyPlaybackKeys(const RuntimeState& state, FrameInput& input)
{
    for (int key = 0; key < 8; ++key) {
        if (!state.keyTable[kDigitKeyZero + key])
            continue;
        // An empty store restores nothing, and then there is nothing to apply.
        if (restoreNearest(kPlaybackPresetSeconds[key]))
            applyWorkingState(workingState, state, input);
    }
}

bool StateRecorder::readStates(std::istream& in, std::vector<StateSnapshot>& out, std::string& error)
{
    out.clear();
    long long count = 0;
    if (!(in >> count) || count < 0) {
        error = "no snapshot count";
        return false;
    }
    // Never trust the counts for memory: snapshots and elements grow as they are read.
    for (long long s = 0; s < count; ++s) {
        StateSnapshot snapshot;
        size_t n = 0;
        if (!(in >> snapshot.time) || !readCount(in, 1e9, n)) {
            error = "snapshot " + std::to_string(s) + " of " + std::to_string(count) + " has no time or element count";
            out.clear();
            return false;
        }
        for (size_t k = 0; k < n; ++k) {
            double value = 0;
            bool flagA = false, flagB = false;
            if (!(in >> value >> flagA >> flagB)) {
                error = "snapshot " + std::to_string(s) + " ends after " + std::to_string(k) + " of " +
                        std::to_string(n) + " elements";
                out.clear();
                return false;
            }
            snapshot.values.push_back(value);
            snapshot.flagsA.push_back(flagA);
            snapshot.flagsB.push_back(flagB);
        }
        out.push_back(std::move(snapshot));
    }
    return true;
}

void StateRecorder::writeStates(std::ostream& out, const std::vector<StateSnapshot>& store)
{
    out << store.size() << "\n";
    for (const StateSnapshot& snapshot : store) {
        out << "\n\n" << snapshot.time << "\n" << snapshot.values.size() << "\n";
        for (size_t k = 0; k < snapshot.values.size(); ++k) {
            bool flagA = k < snapshot.flagsA.size() && snapshot.flagsA[k];
            bool flagB = k < snapshot.flagsB.size() && snapshot.flagsB[k];
            out << snapshot.values[k] << " " << flagA << " " << flagB << " ";
        }
    }
}

bool StateRecorder::loadStates(const std::string& path)
{
    stateStore.clear();
    std::string bytes, why;
    if (!readFileBytes(path.c_str(), bytes, why)) {
        std::fprintf(stderr, "%s %s; no state snapshots loaded\n", path.c_str(), why.c_str());
        return false;
    }
    std::istringstream in(bytes);
    std::string error;
    if (!readStates(in, stateStore, error)) {
        std::fprintf(stderr, "%s: %s; no state snapshots loaded\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool StateRecorder::saveStates(const std::string& path) const
{
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out)
        return false;
    writeStates(out, stateStore);
    out.flush();
    return static_cast<bool>(out);
}
