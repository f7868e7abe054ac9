// The window procedure and the idle turn of the message loop, fed with messages.
#include <gtest/gtest.h>

#include "app/window_proc.h"
#include "engine/demo_context.h"

using namespace platform;

namespace {

struct Recorder {
    static inline int resizes = 0, lastWidth = 0, lastHeight = 0, frames = 0, swaps = 0, captures = 0;
    static inline bool frameAnswer = true;
    static void reset()
    {
        resizes = lastWidth = lastHeight = frames = swaps = captures = 0;
        frameAnswer = true;
    }
    static void resize(int w, int h)
    {
        ++resizes;
        lastWidth = w;
        lastHeight = h;
    }
    static bool frame()
    {
        ++frames;
        return frameAnswer;
    }
    static bool swap()
    {
        ++swaps;
        return true;
    }
    static void capture() { ++captures; }
};

WindowProcHooks hooks()
{
    WindowProcHooks h;
    h.resizeView = Recorder::resize;
    h.runFrame = Recorder::frame;
    h.swapBuffers = Recorder::swap;
    h.pointCapture = Recorder::capture;
    return h;
}

Message wheel(int delta) { return Message{kMsgMouseWheel, static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16, 0}; }

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = RuntimeState();
        input = FrameInput();
        Recorder::reset();
        Message m;
        while (peekMessage(m)) {
        }
    }
    RuntimeState state;
    FrameInput input;
};

} // namespace

TEST_F(WindowProcTest, WheelTotals)
{
    const WindowProcHooks h = hooks();
    windowProc(wheel(-119), state, input, h);
    EXPECT_EQ(state.wheelStepsTotal, 0);
    EXPECT_DOUBLE_EQ(state.wheelTravelTotal, static_cast<double>(-119.0f / 600.0f));
    windowProc(wheel(240), state, input, h);
    windowProc(wheel(-120), state, input, h);
    EXPECT_EQ(state.wheelStepsTotal, 1);
    windowProc(wheel(-359), state, input, h); // truncates toward zero: -2
    EXPECT_EQ(state.wheelStepsTotal, -1);
}

TEST_F(WindowProcTest, KeysButtonsActivationClose)
{
    const WindowProcHooks h = hooks();
    EXPECT_TRUE(windowProc({kMsgKeyDown, 'A', 0}, state, input, h));
    EXPECT_EQ(state.keyTable['A'], 1);
    idleTurn(state, h);
    EXPECT_TRUE(windowProc({kMsgKeyUp, 'A', 0}, state, input, h));
    EXPECT_EQ(state.keyTable['A'], 0);
    windowProc({kMsgKeyDown, 300, 0}, state, input, h); // outside the table: ignored
    windowProc({kMsgLButtonDown, 0, 0}, state, input, h);
    windowProc({kMsgRButtonDown, 0, 0}, state, input, h);
    EXPECT_EQ(state.leftDown, 1);
    EXPECT_EQ(state.rightDown, 1);
    windowProc({kMsgLButtonUp, 0, 0}, state, input, h);
    EXPECT_EQ(state.leftDown, 0);
    windowProc({kMsgMButtonDown, 0, 0}, state, input, h);
    EXPECT_EQ(Recorder::captures, 1);

    windowProc({kMsgActivate, 1ull << 16, 0}, state, input, h);
    EXPECT_EQ(state.active, 0);
    windowProc({kMsgActivate, 1, 0}, state, input, h);
    EXPECT_EQ(state.active, 1);

    windowProc({kMsgSize, 0, makeLParam(640, 0)}, state, input, h);
    EXPECT_EQ(Recorder::lastWidth, 640);
    EXPECT_EQ(Recorder::lastHeight, 0); // the view turns 0 into 1

    windowProc({kMsgClose, 0, 0}, state, input, h);
    Message m;
    ASSERT_TRUE(peekMessage(m));
    EXPECT_EQ(m.id, kMsgQuit);
    EXPECT_EQ(m.wParam, 0u);
}

TEST_F(WindowProcTest, NudgesMoveOncePerTailMessage)
{
    const WindowProcHooks h = hooks();
    state.frameDelta = 0.02;
    windowProc({kMsgKeyDown, kVkUp, 0}, state, input, h);   // key messages return before the tail
    EXPECT_EQ(input.nudgeB, 0.0);
    windowProc({kMsgMouseMove, 0, 0}, state, input, h);
    windowProc({kMsgMouseMove, 0, 0}, state, input, h);
    EXPECT_DOUBLE_EQ(input.nudgeB, 2 * 1.5 * 0.02);
    windowProc({kMsgKeyDown, 'Q', 0}, state, input, h);
    windowProc({kMsgKeyDown, 'A', 0}, state, input, h);
    windowProc({kMsgKeyDown, kVkDown, 0}, state, input, h);
    windowProc({kMsgLButtonDown, 0, 0}, state, input, h); // reaches the tail too
    EXPECT_DOUBLE_EQ(input.nudgeA, 0.0);                  // A and Q cancel
    EXPECT_DOUBLE_EQ(input.nudgeB, 2 * 1.5 * 0.02);       // Up and Down cancel
    // The wheel returns before the tail; screen-saver commands are swallowed.
    windowProc(wheel(120), state, input, h);
    windowProc({kMsgSysCommand, kScScreenSave, 0}, state, input, h);
    EXPECT_DOUBLE_EQ(input.nudgeB, 2 * 1.5 * 0.02);
    idleTurn(state, h);
    windowProc({kMsgKeyUp, kVkDown, 0}, state, input, h);     // key messages skip the tail
    EXPECT_DOUBLE_EQ(input.nudgeB, 2 * 1.5 * 0.02);
    EXPECT_FALSE(windowProc({kMsgSysCommand, 0xF020, 0}, state, input, h)); // other commands: tail, then default
    EXPECT_DOUBLE_EQ(input.nudgeB, 3 * 1.5 * 0.02);
    // A held key repeats its character message, and each one nudges.
    windowProc({kMsgKeyUp, kVkUp, 0}, state, input, h);
    windowProc({kMsgKeyUp, 'A', 0}, state, input, h);
    for (int repeat = 0; repeat < 3; ++repeat) {
        windowProc({kMsgKeyDown, 'Q', 0}, state, input, h);
        EXPECT_FALSE(windowProc({kMsgChar, 'q', 0}, state, input, h));
    }
    EXPECT_DOUBLE_EQ(input.nudgeA, 3 * 0.02);
}

TEST_F(WindowProcTest, AKeyTappedWithinOneFrameReachesTheNextIdleTurn)
{
    const WindowProcHooks h = hooks();
    // Down and up between two idle turns, as a light touch on a slow frame gives.
    state.showTime = 4.0;
    windowProc({kMsgKeyDown, kVkEscape, 0}, state, input, h);
    windowProc({kMsgKeyUp, kVkEscape, 0}, state, input, h);
    EXPECT_EQ(state.keyTable[kVkEscape], 1);
    idleTurn(state, h);
    EXPECT_TRUE(state.exitRequested);
    EXPECT_EQ(state.exitStartTime, 4.0);
    EXPECT_EQ(state.keyTable[kVkEscape], 0); // released once seen
    idleTurn(state, h);
    EXPECT_EQ(state.keyTable[kVkEscape], 0);

    // A key held across a turn is released at once; pressed again before the
    // next turn, the earlier release is forgotten.
    windowProc({kMsgKeyDown, 'Q', 0}, state, input, h);
    idleTurn(state, h);
    windowProc({kMsgKeyUp, 'Q', 0}, state, input, h);
    EXPECT_EQ(state.keyTable['Q'], 0);
    windowProc({kMsgKeyDown, 'Q', 0}, state, input, h);
    windowProc({kMsgKeyUp, 'Q', 0}, state, input, h);
    windowProc({kMsgKeyDown, 'Q', 0}, state, input, h);
    idleTurn(state, h);
    EXPECT_EQ(state.keyTable['Q'], 1);
}

TEST_F(WindowProcTest, EscapeRecordsTheFirstRequestOnly)
{
    const WindowProcHooks h = hooks();
    state.showTime = 12.5;
    windowProc({kMsgKeyDown, kVkEscape, 0}, state, input, h);
    idleTurn(state, h);
    EXPECT_TRUE(state.exitRequested);
    EXPECT_EQ(state.exitStartTime, 12.5);
    state.showTime = 13.0;
    windowProc({kMsgKeyUp, kVkEscape, 0}, state, input, h);
    windowProc({kMsgKeyDown, kVkEscape, 0}, state, input, h);
    idleTurn(state, h);
    EXPECT_EQ(state.exitStartTime, 12.5);

    // A frame that answers "stop" requests the end too.
    RuntimeState fresh;
    fresh.showTime = 3;
    Recorder::frameAnswer = false;
    idleTurn(fresh, h);
    EXPECT_TRUE(fresh.exitRequested);
    EXPECT_EQ(fresh.exitStartTime, 3);
}

TEST_F(WindowProcTest, IdleTurnFramesSwapsAndF1Pulse)
{
    const WindowProcHooks h = hooks();
    windowProc({kMsgKeyDown, kVkF1, 0}, state, input, h);
    idleTurn(state, h);
    EXPECT_EQ(Recorder::frames, 1);
    EXPECT_EQ(Recorder::swaps, 1);
    EXPECT_EQ(state.keyTable[kVkF1], 0); // one frame per key-down message
    // Minimised: no frame, but the buffers are still swapped.
    windowProc({kMsgActivate, 1ull << 16, 0}, state, input, h);
    idleTurn(state, h);
    EXPECT_EQ(Recorder::frames, 1);
    EXPECT_EQ(Recorder::swaps, 2);
}

TEST_F(WindowProcTest, PointCaptureText)
{
    input.pointerX = 1.5;
    input.pointerY = -0.25;
    input.wheelTravel = 0;
    const float eye[3] = {1.0f, 2.5f, 5.0f};
    capturePoint(state, input, eye);
    ASSERT_EQ(input.pointList.size(), 1u);
    EXPECT_EQ(input.pointList[0].tag, 1);
    EXPECT_EQ(state.clipboardText, "Cam :1.5,-0.25,0.  \nPnt :0.,0.,0.  \n \nMCr :1.,2.5,5.  \n \n");
}
