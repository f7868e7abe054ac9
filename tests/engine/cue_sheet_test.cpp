// The cue sheet's overlapping windows, inclusive ends, fired flag and section swaps.
#include <gtest/gtest.h>

#include <vector>

#include "engine/cue_sheet.h"

namespace {

std::vector<int> activeAt(CueSheet& sheet, double t)
{
    const int32_t* active = sheet.update(t);
    return std::vector<int>(active, active + sheet.activeCount);
}

} // namespace

TEST(CueSheet, QueryPicksLastMatchingRow)
{
    CueSheet sheet;
    sheet.build();
    EXPECT_EQ(sheet.cueCount, 31);
    EXPECT_EQ(sheet.lastCue, -1);
    struct Case {
        double t;
        int value;
        int row;
    } cases[] = {
        {0.0, 9, 5},     {80.0, 9, 5},     {80.01, 1, 0},   {85.14, 2, 1},     {105.01, 5, 4},
        {104.94, 4, 3},  {271.0, 21, 29},  {226.281, 1, 6}, {291.178, 21, 23}, {248.0, 2, 7},
    };
    for (const Case& c : cases) {
        uint8_t fired = 7;
        EXPECT_EQ(sheet.query(c.t, fired), c.value) << "t=" << c.t;
        EXPECT_EQ(sheet.currentCue, c.row) << "t=" << c.t;
    }
}

TEST(CueSheet, FiredFlag)
{
    CueSheet sheet;
    sheet.build();
    uint8_t fired = 0;
    EXPECT_EQ(sheet.query(10.0, fired), 9);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(sheet.query(11.0, fired), 9);
    EXPECT_EQ(fired, 0);
    // No window between 98 and 104.94: value 0 and fired on every such frame,
    // without forgetting the last match.
    for (double t : {98.5, 100.0, 104.0}) {
        fired = 0;
        EXPECT_EQ(sheet.query(t, fired), 0);
        EXPECT_EQ(fired, 1);
    }
    EXPECT_EQ(sheet.lastCue, 5);
    EXPECT_EQ(sheet.query(12.0, fired), 9);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(sheet.query(81.0, fired), 1);
    EXPECT_EQ(fired, 1);
}

TEST(CueSheet, ActiveSectionsWithSwaps)
{
    CueSheet sheet;
    sheet.build();
    EXPECT_EQ(activeAt(sheet, 120.0), (std::vector<int>{2, 4, 3}));
    EXPECT_EQ(activeAt(sheet, 270.0), (std::vector<int>{7, 8}));
    EXPECT_EQ(activeAt(sheet, 300.0), (std::vector<int>{9, 8}));
    EXPECT_EQ(activeAt(sheet, 60.0), (std::vector<int>{1, 10}));
    EXPECT_EQ(activeAt(sheet, 31.9), (std::vector<int>{0, 1}));
    EXPECT_EQ(activeAt(sheet, -1.0), (std::vector<int>{}));
    // Unused entries are cleared on every update.
    activeAt(sheet, 120.0);
    activeAt(sheet, 10.0);
    EXPECT_EQ(sheet.active[1], 0);
    EXPECT_EQ(sheet.active[2], 0);
}
