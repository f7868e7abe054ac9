// Section and cue windows of the show, both ends inclusive. Overlapping cue rows
// are resolved by row order (the last match wins), so the table order matters.
#include "engine/cue_sheet.h"

CueSheet cueSheet;

namespace {

const double kSections[11][2] = {
    {0.0, 31.9},    {31.9, 62.2},   {62.2, 123.0}, {92.5, 128.0}, {105.7, 123.5}, {123.5, 215.1},
    {215.1, 245.1}, {245.1, 275.0}, {264.7, 308.0}, {291.6, 1310.0}, {59.0, 66.0},
};

struct CueDef {
    double start, end;
    int32_t value;
};

const CueDef kCues[31] = {
    {80.0, 85.14, 1},        {85.14, 92.85, 2},       {92.85, 98.0, 3},        {104.94, 105.01, 4},
    {105.01, 105.134, 5},    {0.0, 80.0, 9},          {226.281, 227.281, 1},   {246.86, 250.282, 2},
    {227.281, 229.715, 3},   {274.329, 274.765, 21},  {274.765, 275.07, 21},   {275.07, 275.402, 21},
    {275.402, 276.031, 21},  {276.031, 276.356, 21},  {276.356, 276.688, 21},  {276.688, 277.752, 21},
    {277.752, 277.965, 21},  {277.965, 278.289, 21},  {278.289, 278.595, 21},  {278.595, 279.438, 21},
    {279.438, 280.102, 21},  {280.102, 280.741, 21},  {280.741, 281.178, 21},  {281.741, 291.178, 21},
    {267.442, 267.755, 21},  {267.775, 268.073, 21},  {268.073, 268.5, 21},    {268.5, 269.141, 21},
    {269.141, 274.329, 21},  {270.858, 271.07, 21},   {271.402, 271.713, 21},
};

} // namespace

void CueSheet::build()
{
    for (int i = 0; i < 11; ++i)
        sections[i] = CueSection{kSections[i][0], kSections[i][1], 0};
    for (int i = 0; i < 31; ++i)
        cues[i] = CueRow{kCues[i].start, kCues[i].end, kCues[i].value};
    cueCount = 31;
    lastCue = -1;
}

const int32_t* CueSheet::update(double t)
{
    activeCount = 0;
    for (int32_t& a : active)
        a = 0;
    for (int i = 0; i < 11; ++i) {
        if (sections[i].start <= t && t <= sections[i].end)
            active[activeCount++] = i;
        // The two swaps run after every row, matching or not.
        if (active[0] == 8 && active[1] == 9) {
            active[0] = 9;
            active[1] = 8;
        }
        if (activeCount == 3 && active[1] == 3 && active[2] == 4) {
            active[1] = 4;
            active[2] = 3;
        }
    }
    return active;
}

int32_t CueSheet::query(double t, uint8_t& fired)
{
    int32_t match = -1;
    for (int i = 0; i < cueCount; ++i)
        if (cues[i].start <= t && t <= cues[i].end)
            match = i;
    if (match < 0) {
        fired = 1;
        return 0;
    }
    if (match != lastCue) {
        fired = 1;
        lastCue = match;
    } else {
        fired = 0;
    }
    currentCue = match;
    return cues[match].value;
}
