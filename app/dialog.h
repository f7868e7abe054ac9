// The start dialog: resolution, antialiasing and windowed or full-screen, asked
// before the show's window exists. One backend file (dialog_gtk.cpp, GTK 3); the
// mode list it shows and the choice it stores live in app/display_modes.h.
#pragma once
#include "engine/demo_context.h"

// Shows the modal dialog over RuntimeState::displayModes (filled beforehand by
// enumerateDisplayModes). "Run ... " stores the choice (both size pairs, the
// antialiasing and full-screen choices) and returns true. "Quit", Escape and the
// close box end the process with status 0. The mode list is filled only while
// RunConfig::dialogFirstInit is set, which the dialog then clears.
// Without a display to show it on, the dialog is skipped: a line on standard error,
// windowed 1280 x 720 with the compiled-in antialiasing, and true.
// GTK is finished with (window destroyed, events drained) before this returns.
bool runStartDialog(RuntimeState& state, RunConfig& config, DemoContext& context);

// The dialog's caption, for tools that look for its window.
extern const char* const kStartDialogCaption;
