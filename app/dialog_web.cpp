// The start dialog of the page: an HTML form (tools/web/index.html) with the
// native dialog's choices. A page cannot wait inside the program, so the form is
// shown before the program starts, from the mode list made here, and the program
// then finds the choice already made: Run (the click that also lets the browser
// start sound and full screen) or Quit.
#include "app/dialog.h"

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/display_modes.h"

const char* const kStartDialogCaption = "        Zoduv aziridiru ZUR - 2014 ";

namespace {

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

// For the page: {"caption": ..., "labels": [...], "selected": N}, the list the
// native dialog would show for this display.
extern "C" EMSCRIPTEN_KEEPALIVE const char* zur_dialog_modes()
{
    static std::string json;
    std::vector<DisplayMode> modes;
    enumerateDisplayModes(modes, platform::enumDisplayMode);
    json = "{\"caption\":" + jsonString(kStartDialogCaption) + ",\"labels\":[";
    for (size_t i = 0; i < modes.size(); ++i)
        json += (i ? "," : "") + jsonString(modeLabel(modes[i].first, modes[i].second));
    json += "],\"selected\":" + std::to_string(defaultModeIndex(modes)) + "}";
    return json.c_str();
}

bool runStartDialog(RuntimeState& state, RunConfig& config, DemoContext& context)
{
    // -1: no choice (the page did not show the form); 0: Quit; 1: Run.
    const int run = EM_ASM_INT({ var c = Module.zurDialogChoice; return c ? (c.run ? 1 : 0) : -1; });
    if (run == 0)
        std::exit(0);
    config.dialogFirstInit = 0;
    if (run < 0) {
        std::fprintf(stderr, "Start dialog: the page made no choice; running windowed at 1280 x 720.\n");
        DialogChoice choice;
        choice.antialiased = config.antialiased != 0;
        applyDialogChoice(choice, state, config, context);
        return true;
    }
    const int selected = EM_ASM_INT({ return Module.zurDialogChoice.selected; });
    const bool antialiased = EM_ASM_INT({ return Module.zurDialogChoice.antialiased ? 1 : 0; }) != 0;
    const bool windowed = EM_ASM_INT({ return Module.zurDialogChoice.windowed ? 1 : 0; }) != 0;
    applyDialogChoice(dialogChoice(state.displayModes, selected, antialiased, windowed), state, config, context);
    return true;
}
