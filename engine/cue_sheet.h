// The cue sheet: eleven section windows and 31 cue windows on the show clock. The
// frame driver updates it and queries the cue value every frame.
#pragma once
#include <cstdint>

struct CueSection {
    double start = 0, end = 0;
    double unused = 0;
};

struct CueRow {
    double start = 0, end = 0;
    int32_t value = 0;
};

struct CueSheet {
    CueSection sections[11];
    CueRow cues[300];
    int32_t cueCount = 0;
    int32_t active[11] = {};
    int32_t activeCount = 0;
    int32_t lastCue = -1;
    int32_t currentCue = 0;

    void build();
    const int32_t* update(double t);
    int32_t query(double t, uint8_t& fired);
};

extern CueSheet cueSheet;
