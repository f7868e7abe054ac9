// The frame driver's developer aids, behind one small interface: the caption, the
// frame-rate log and the state recorder/player. In the release configuration the
// frame driver never calls them (RunConfig switches them off).
#pragma once

struct DemoContext;
struct FrameInput;
struct RuntimeState;
struct StateRecorder;

StateRecorder& devStateRecorder();
void saveStates(StateRecorder& recorder, const char* path);
void recordStateFrame(StateRecorder& recorder, const FrameInput& input, const RuntimeState& state);
void applyPlaybackKeys(StateRecorder& recorder, FrameInput& input, RuntimeState& state);
void recordFrameRate(DemoContext& ctx, double value, double time, int count);
void writeDeveloperCaption(double aux0, double aux1);

// Start-up and shutdown ends of the developer aids.
void loadDeveloperStates();
void openDeveloperReport();
void writeDeveloperReport();
void openDeveloperFrameLog();
void closeDeveloperFrameLog();
