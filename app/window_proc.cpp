// Window procedure: key table, mouse buttons, wheel totals, activation, resize,
// close, screen-saver suppression and the developer nudges of the common tail.
#include "app/window_proc.h"

#include "engine/demo_context.h"
#include "engine/dev_caption.h"

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
    if (state.keyTable[int{'A'}])
        input.nudgeA -= delta;
    if (state.keyTable[int{'Q'}])
        input.nudgeA += delta;
}

} // namespace

bool windowProc(const Message& message, RuntimeState& state, FrameInput& input, const WindowProcHooks& hooks)
{
    switch (message.id) {
    case kMsgActivate:
        state.active = ((message.wParam >> 16) & 0xFFFF) == 0;
        return true;
    case kMsgSysCommand:
        if (message.wParam == kScScreenSave || message.wParam == kScMonitorPower)
            return true;
        break;
    case kMsgClose:
        postQuitMessage(0);
        return true;
    case kMsgKeyDown:
        if (message.wParam < 256) {
            state.keyTable[message.wParam] = 1;
            state.keyUnseen[message.wParam] = 1;
            state.keyReleasePending[message.wParam] = 0;
        }
        return true;
    case kMsgKeyUp:
        // A tap shorter than a frame (down and up between two idle turns) must
        // still reach the part once, so its release waits for the next turn.
        if (message.wParam < 256) {
            if (state.keyUnseen[message.wParam])
                state.keyReleasePending[message.wParam] = 1;
            else
                state.keyTable[message.wParam] = 0;
        }
        return true;
    case kMsgSize:
        if (hooks.resizeView)
            hooks.resizeView(static_cast<int>(message.lParam & 0xFFFF), static_cast<int>((message.lParam >> 16) & 0xFFFF));
        return true;
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
        return true;
    }
    default:
        break;
    }
    commonTail(state, input);
    return false;
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
    for (int key = 0; key < 256; ++key) {
        if (state.keyReleasePending[key])
            state.keyTable[key] = 0;
        state.keyReleasePending[key] = 0;
        state.keyUnseen[key] = 0;
    }
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
