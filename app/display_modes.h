// The display-mode list of the start dialog and the choice it stores: which modes
// suit the show, their labels, the preselected entry and the 16:9 size derived from
// a width. Pure functions; the only platform call is the enumeration wrapper below.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/demo_context.h"
#include "platform/platform.h"

using DisplayMode = std::pair<int32_t, int32_t>; // width, height in pixels

// Answers mode number `index` of the display, false past the last one.
using ModeSource = std::function<bool(int index, int& width, int& height)>;

// True when a (w, h) mode suits the show: at most 2047 pixels either way, landscape
// or square, and no more than 1.8 : 1 in either direction (ratios in double).
bool modeSuitsShow(int width, int height);

// Empties `modes` and fills it from `source` in enumeration order, keeping only modes
// that suit the show and dropping repeated sizes (refresh rate and depth are ignored).
void enumerateDisplayModes(std::vector<DisplayMode>& modes, const ModeSource& source);

// The entry's call: fills RuntimeState::displayModes from the display's own list.
inline void enumerateDisplayModes(RuntimeState& state)
{
    enumerateDisplayModes(state.displayModes, platform::enumDisplayMode);
}

// Combo-box label of a mode: " W x H  (16:10)", " W x H  (16:9)" or " W x H       ".
std::string modeLabel(int width, int height);

// Preselected entry: the last 1280 x 720; when that index is 0 (none, or the first
// entry itself) the last 1024 x 768; when that is 0 as well, entry 0. -1 when empty.
int defaultModeIndex(const std::vector<DisplayMode>& modes);

// Window height for a width, forced to 16:9: w / 1.7777777777777777 in double,
// rounded to float, then truncated.
int32_t derivedHeight(int32_t width);

// What "Run ... " stores.
struct DialogChoice {
    int32_t width = 1280, height = 720;
    bool antialiased = true;
    bool fullscreen = false;
    bool fallback = false; // no mode was selected: windowed 1280 x 720 instead
};

// The choice for the selected entry (-1 or out of range: the windowed 1280 x 720
// fallback, since no window may be made from a missing mode).
DialogChoice dialogChoice(const std::vector<DisplayMode>& modes, int selected, bool antialiasedBox,
                          bool windowedBox);

// Stores a choice: both size pairs, RunConfig::antialiased, RuntimeState::fullscreen,
// and the dialog's wide flag (always 0). A fallback choice says so on standard error.
void applyDialogChoice(const DialogChoice& choice, RuntimeState& state, RunConfig& config,
                       DemoContext& context);
