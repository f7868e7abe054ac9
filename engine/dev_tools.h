// The developer aids as the frame driver, start-up and window shutdown call them:
// caption, frame-rate log, state recording and playback, asset report. In the
// release configuration RunConfig switches every call off.
#pragma once

struct StateRecorder;

// The one recorder of the process.
StateRecorder& devStateRecorder();

void writeDeveloperCaption(double aux0, double aux1);
void loadDeveloperStates();
void openDeveloperReport();
void writeDeveloperReport();
void openDeveloperFrameLog();
void closeDeveloperFrameLog();
