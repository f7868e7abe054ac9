// The window messages of a backend whose system hands out no messages of its own
// (SDL's events and the page's DOM events are translated into it): first in, first
// out, each one shown to the program's window procedure as it is taken. Portable;
// the Win32 backend uses the system's queue instead.
#pragma once
#include <deque>

#include "platform/platform.h"

namespace platform {

struct MessageQueue {
    std::deque<Message> pending;
    WindowProcedure windowProcedure = nullptr;

    void post(const Message& message) { pending.push_back(message); }
    void post(uint32_t id, uint64_t wParam = 0, int64_t lParam = 0) { pending.push_back(Message{id, wParam, lParam}); }
    bool empty() const { return pending.empty(); }
    // Removes the oldest message (false when none is waiting). Any but kMsgQuit
    // goes through the window procedure before it is returned; nothing follows the
    // procedure, as the system has already done what a default one would.
    bool take(Message& out);
};

} // namespace platform
