// Window procedure: key table, mouse buttons, wheel totals, activation, resize,
// close, screen-saver suppression and the developer nudges of the common tail.
#include "app/window_proc.h"

#include "runtime/demo_context.h"
#include "runtime/dev_caption.h"

using namespace platform;

namespace {

// Every message that reaches the common tail moves the nudges once, with the
// frame delta the part's last draw left (so mouse moves nudge too).
void commonTail(RuntimeState& state, FrameInput& input)
{
    const double delta = state.frameDelta;
    if (state.keyTable[kVkUp])
        input.nudgeB += 1.5 * delta;
    if (state.keyTable[kVkDown])
        input.nudgeB -= 1.5 * delta;
    if (state.keyTable['A'])
        input.nudgeA -= delta;
    if (state.keyTable['Q'])
        input.nudgeA += delta;
}

} // namespace

int64_t windowProc(const Message& message, RuntimeState& state, FrameInput& input, const WindowProcHooks& hooks)
{
    switch (message.id) {
    case kMsgActivate:
        state.active = ((message.wParam >> 16) & 0xFFFF) == 0;
        return 0;
    case kMsgSysCommand:
        if (message.wParam == kScScreenSave || message.wParam == kScMonitorPower)
            return 0;
        break;
    case kMsgClose:
        postQuitMessage(0);
        return 0;
    case kMsgKeyDown:
        if (message.wParam < 256)
            state.keyTable[message.wParam] = 1;
        return 0;
    case kMsgKeyUp:
        if (message.wParam < 256)
            state.keyTable[message.wParam] = 0;
        return 0;
    case kMsgSize:
        if (hooks.resizeView)
            hooks.resizeView(static_cast<int>(message.lParam & 0xFFFF), static_cast<int>((message.lParam >> 16) & 0xFFFF));
        return 0;
    case kMsgLButtonDown:
        state.leftDown = 1;
        break;
    case kMsgLButtonUp:
        state.leftDown = 0;
        break;
    case kMsgRButtonDown:
        state.rightDown = 1;
        break;
    case kMsgRButtonUp:
        state.rightDown = 0;
        break;
    case kMsgMButtonDown:
        if (hooks.pointCapture)
            hooks.pointCapture();
        break;
    case kMsgMouseWheel: {
        int d = static_cast<int16_t>((message.wParam >> 16) & 0xFFFF);
        state.wheelStepsTotal += d / 120; // truncates toward zero: -119 adds nothing
        state.wheelTravelTotal += static_cast<float>(d) / 600.0f;
        return 0;
    }
    default:
        break;
    }
    commonTail(state, input);
    return 0;
}

void idleTurn(RuntimeState& state, const WindowProcHooks& hooks)
{
    bool goOn = true;
    if (state.active && hooks.runFrame)
        goOn = hooks.runFrame();
    if ((!goOn || state.keyTable[kVkEscape]) && !state.exitRequested) {
        state.exitStartTime = state.showTime;
        state.exitRequested = true;
    }
    if (hooks.swapBuffers)
        hooks.swapBuffers();
    if (state.keyTable[kVkF1])
        state.keyTable[kVkF1] = 0;
}

void capturePoint(RuntimeState& state, FrameInput& input, const float cameraEye[3])
{
    input.pointList.push_back(Vec3{1, static_cast<float>(input.cameraX), static_cast<float>(input.cameraY),
                                   static_cast<float>(input.cameraZ)});
    std::string& text = state.clipboardText;
    text += "Cam :" + formatGcvt(input.pointerX, 6) + "," + formatGcvt(input.pointerY, 6) + "," +
            formatGcvt(input.wheelTravel, 6) + "  \n";
    text += "Pnt :" + formatGcvt(input.cameraX, 6) + "," + formatGcvt(input.cameraY, 6) + "," +
            formatGcvt(input.cameraZ, 6) + "  \n \n";
    text += "MCr :" + formatGcvt(cameraEye[0], 6) + "," + formatGcvt(cameraEye[1], 6) + "," +
            formatGcvt(cameraEye[2], 6) + "  \n \n";
}
