// Keeps the clipboard text alive after the program ends. On a display where a
// selection lives only as long as the window that owns it (X11 without a
// clipboard manager), a small detached process takes the selection over and serves
// it until another program takes the clipboard. Backend: clipboard_keeper_posix.cpp.
#pragma once
#include <string>

namespace platform {

// Hands `text` to a keeper process. True once the keeper owns the clipboard; false
// (nothing changed) when there is no display to keep it on or the keeper could not
// start. Waits a few seconds at most.
bool keepClipboardText(const std::string& text);

} // namespace platform
