// Display-mode filter, labels, default selection and the derived 16:9 size.
#include "app/display_modes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kMaxModeSide = 2047;       // pixels, either side
constexpr double kMaxModeRatio = 1.8;    // long side / short side
constexpr double kRatio16by10 = 1.6;
constexpr double kRatio16by9 = 1.7777777777777777;
constexpr double kRatioTolerance = 0.01;
constexpr int32_t kFallbackWidth = 1280, kFallbackHeight = 720;

} // namespace

bool modeSuitsShow(int width, int height)
{
    // The driver never reports empty or negative sizes; refusing them keeps a zero
    // height from turning into an infinite ratio further down.
    if (width <= 0 || height <= 0)
        return false;
    if (width > kMaxModeSide || height > kMaxModeSide || height > width)
        return false;
    double w = width, h = height;
    return w / h <= kMaxModeRatio && h / w <= kMaxModeRatio;
}

void enumerateDisplayModes(std::vector<DisplayMode>& modes, const ModeSource& source)
{
    modes.clear();
    int width = 0, height = 0;
    for (int index = 0; source(index, width, height); ++index) {
        if (!modeSuitsShow(width, height))
            continue;
        DisplayMode mode{width, height};
        if (std::find(modes.begin(), modes.end(), mode) == modes.end())
            modes.push_back(mode);
    }
}

std::string modeLabel(int width, int height)
{
    double r = static_cast<double>(width) / height;
    const char* format = " %d x %d       ";
    if (std::fabs(r - kRatio16by10) < kRatioTolerance)
        format = " %d x %d  (16:10)";
    else if (std::fabs(r - kRatio16by9) < kRatioTolerance)
        format = " %d x %d  (16:9)";
    char text[64];
    std::snprintf(text, sizeof text, format, width, height);
    return text;
}

int defaultModeIndex(const std::vector<DisplayMode>& modes)
{
    if (modes.empty())
        return -1;
    int last720 = 0, last768 = 0;
    for (size_t i = 0; i < modes.size(); ++i) {
        if (modes[i] == DisplayMode{1280, 720})
            last720 = static_cast<int>(i);
        if (modes[i] == DisplayMode{1024, 768})
            last768 = static_cast<int>(i);
    }
    // Index 0 counts as "not found", so a 1280 x 720 listed first loses to 1024 x 768.
    if (last720 != 0)
        return last720;
    return last768;
}

int32_t derivedHeight(int32_t width)
{
    double exact = width / kRatio16by9;
    return static_cast<int32_t>(static_cast<float>(exact));
}

DialogChoice dialogChoice(const std::vector<DisplayMode>& modes, int selected, bool antialiasedBox,
                          bool windowedBox)
{
    DialogChoice choice;
    choice.antialiased = antialiasedBox;
    if (selected < 0 || static_cast<size_t>(selected) >= modes.size()) {
        choice.width = kFallbackWidth;
        choice.height = kFallbackHeight;
        choice.fullscreen = false;
        choice.fallback = true;
        return choice;
    }
    choice.width = modes[selected].first;
    choice.height = derivedHeight(choice.width);
    choice.fullscreen = !windowedBox;
    return choice;
}

void applyDialogChoice(const DialogChoice& choice, RuntimeState& state, RunConfig& config,
                       DemoContext& context)
{
    if (choice.fallback)
        std::fprintf(stderr, "No display mode suits the show: running windowed at %d x %d.\n",
                     choice.width, choice.height);
    config.antialiased = choice.antialiased ? 1 : 0;
    state.fullscreen = choice.fullscreen ? 1 : 0;
    context.wideFlag = 0; // the dialog has no wide-screen box
    context.renderWidth = context.windowWidth = choice.width;
    context.renderHeight = context.windowHeight = choice.height;
}
