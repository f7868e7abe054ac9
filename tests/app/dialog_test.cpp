// The start dialog's pure parts: which display modes are listed, their labels, the
// preselected entry, the derived 16:9 size and what "Run ... " stores.
#include <gtest/gtest.h>

#include "app/display_modes.h"

namespace {

ModeSource listSource(const std::vector<DisplayMode>& driverModes)
{
    return [driverModes](int index, int& width, int& height) {
        if (index < 0 || static_cast<size_t>(index) >= driverModes.size())
            return false;
        width = driverModes[index].first;
        height = driverModes[index].second;
        return true;
    };
}

} // namespace

TEST(DisplayModes, FilterKeepsDriverOrderAndDropsRepeats)
{
    // As a driver lists them: every size at several depths and refresh rates.
    const std::vector<DisplayMode> driver = {
        {640, 480},   {640, 480},   {800, 600},  {768, 1024} /* portrait */, {1024, 768},
        {1280, 720},  {1280, 720},  {2560, 1080} /* 2.37 : 1 */, {1920, 1080}, {1024, 768},
        {2048, 1152} /* too wide */, {1280, 2047}, {0, 0},     {1440, 900},  {1920, 1200},
        {1024, 1024}, {2047, 2047}, {1800, 1000} /* exactly 1.8 */, {1801, 1000},
    };
    std::vector<DisplayMode> modes = {{1, 1}}; // emptied first
    enumerateDisplayModes(modes, listSource(driver));
    const std::vector<DisplayMode> expected = {
        {640, 480},   {800, 600},   {1024, 768},  {1280, 720},  {1920, 1080},
        {1440, 900},  {1920, 1200}, {1024, 1024}, {2047, 2047}, {1800, 1000},
    };
    EXPECT_EQ(modes, expected);

    enumerateDisplayModes(modes, listSource({}));
    EXPECT_TRUE(modes.empty());
    enumerateDisplayModes(modes, listSource({{1080, 1920}, {2560, 1080}}));
    EXPECT_TRUE(modes.empty());
}

TEST(DisplayModes, Labels)
{
    struct Row {
        int w, h;
        const char* label;
    };
    const Row rows[] = {
        {1440, 900, " 1440 x 900  (16:10)"},  {1280, 800, " 1280 x 800  (16:10)"},
        {1920, 1200, " 1920 x 1200  (16:10)"}, {1920, 1080, " 1920 x 1080  (16:9)"},
        {1280, 720, " 1280 x 720  (16:9)"},   {1366, 768, " 1366 x 768  (16:9)"}, // 1.7786: within 0.01
        {1360, 768, " 1360 x 768  (16:9)"},   {1024, 768, " 1024 x 768       "},
        {1280, 1024, " 1280 x 1024       "},  {1024, 1024, " 1024 x 1024       "},
        {1600, 1024, " 1600 x 1024       "},  // 1.5625: more than 0.01 from 1.6
    };
    for (const Row& row : rows)
        EXPECT_EQ(modeLabel(row.w, row.h), row.label);
}

TEST(DisplayModes, DefaultSelection)
{
    struct Row {
        std::vector<DisplayMode> modes;
        int index;
    };
    const Row rows[] = {
        {{{800, 600}, {1024, 768}, {1280, 720}}, 2},
        {{{800, 600}, {1280, 720}, {1024, 768}, {1920, 1080}}, 1},
        // 1280 x 720 first counts as not found: the last 1024 x 768 wins.
        {{{1280, 720}, {800, 600}, {1024, 768}}, 2},
        {{{1280, 720}, {800, 600}}, 0},
        {{{800, 600}, {1024, 768}, {1920, 1080}}, 1},
        {{{1024, 768}, {800, 600}}, 0},
        {{{800, 600}, {1920, 1080}}, 0},
        {{}, -1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(defaultModeIndex(row.modes), row.index) << "list of " << row.modes.size();
    // "Last" matters only with repeats, which the list never holds; the index is
    // still the last one if a list arrives with them.
    EXPECT_EQ(defaultModeIndex({{800, 600}, {1280, 720}, {640, 480}, {1280, 720}}), 3);
}

TEST(DisplayModes, DerivedHeightIsSixteenByNine)
{
    // Examples of the dialog's own table.
    const std::pair<int, int> examples[] = {{1280, 720}, {1024, 576}, {1366, 768}, {1440, 810}, {1920, 1080}};
    for (auto [w, h] : examples)
        EXPECT_EQ(derivedHeight(w), h) << w;
    // For every width a mode can have, the double-to-float-to-int route gives the
    // exact integer part of w * 9 / 16.
    for (int w = 1; w <= 2047; ++w)
        ASSERT_EQ(derivedHeight(w), w * 9 / 16) << w;
}

TEST(DisplayModes, RunStoresTheChoice)
{
    const std::vector<DisplayMode> modes = {{800, 600}, {1280, 1024}, {1366, 768}};
    DialogChoice c = dialogChoice(modes, 1, true, false);
    EXPECT_EQ(c.width, 1280);
    EXPECT_EQ(c.height, 720); // only the width of the mode is used
    EXPECT_TRUE(c.antialiased);
    EXPECT_TRUE(c.fullscreen); // "Windowed" unchecked
    EXPECT_FALSE(c.fallback);

    c = dialogChoice(modes, 2, false, true);
    EXPECT_EQ(c.width, 1366);
    EXPECT_EQ(c.height, 768);
    EXPECT_FALSE(c.antialiased);
    EXPECT_FALSE(c.fullscreen);

    // Nothing selected (empty list, or an index the list does not have): windowed
    // 1280 x 720, never a window from a missing mode.
    for (int selected : {-1, 3, 1000}) {
        c = dialogChoice(selected == -1 ? std::vector<DisplayMode>{} : modes, selected, false, false);
        EXPECT_TRUE(c.fallback);
        EXPECT_EQ(c.width, 1280);
        EXPECT_EQ(c.height, 720);
        EXPECT_FALSE(c.fullscreen);
        EXPECT_FALSE(c.antialiased); // the box still counts
    }

    RuntimeState state;
    RunConfig config;
    DemoContext context;
    context.wideFlag = 1;
    testing::internal::CaptureStderr();
    applyDialogChoice(dialogChoice(modes, 0, false, false), state, config, context);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(context.renderWidth, 800);
    EXPECT_EQ(context.windowWidth, 800);
    EXPECT_EQ(context.renderHeight, 450);
    EXPECT_EQ(context.windowHeight, 450);
    EXPECT_EQ(config.antialiased, 0);
    EXPECT_EQ(state.fullscreen, 1);
    EXPECT_EQ(context.wideFlag, 0);

    testing::internal::CaptureStderr();
    applyDialogChoice(dialogChoice({}, -1, true, false), state, config, context);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("windowed at 1280 x 720"), std::string::npos) << said;
    EXPECT_EQ(context.renderWidth, 1280);
    EXPECT_EQ(context.renderHeight, 720);
    EXPECT_EQ(state.fullscreen, 0);
    EXPECT_EQ(config.antialiased, 1);
}
