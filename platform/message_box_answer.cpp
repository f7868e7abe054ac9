// The preset message-box answer of the native backends.
#include "platform/message_box_answer.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool presetMessageBoxAnswer(unsigned flags, int& answer)
{
    const char* preset = std::getenv("ZUR_MESSAGEBOX_ANSWER");
    if (!preset)
        return false;
    if ((flags & 0xF) != kMbYesNo)
        answer = kIdOk;
    else
        answer = std::strcmp(preset, "yes") == 0 ? kIdYes : kIdNo;
    return true;
}

} // namespace platform
