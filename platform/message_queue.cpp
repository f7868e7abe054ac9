// The portable message queue of the SDL and browser backends.
#include "platform/message_queue.h"

namespace platform {

bool MessageQueue::take(Message& out)
{
    if (pending.empty())
        return false;
    out = pending.front();
    pending.pop_front();
    if (out.id != kMsgQuit && windowProcedure)
        windowProcedure(out);
    return true;
}

} // namespace platform
