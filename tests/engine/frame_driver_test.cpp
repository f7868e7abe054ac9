// The frame driver's clock, seed, volume schedule, slot choice and end paths.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/clock.h"
#include "engine/cue_sheet.h"
#include "engine/demo_context.h"
#include "engine/frame_driver.h"
#include "base/random.h"

namespace {

struct ExitCalled {
    int status;
};

struct Calls {
    static inline int exits = -1, windowShutdowns = 0, deleted = 0;
};

class CountingPart : public parts {
public:
    explicit CountingPart(int* drawn) : drawn(drawn) {}
    ~CountingPart() override { ++Calls::deleted; }
    void draw(double& frameDelta, DemoContext&, FrameInput& input) override
    {
        ++*drawn;
        lastDelta = frameDelta;
        firstRandom = rng::rand();
        if (requestEnd)
            input.flagsB[3] = true;
    }
    void init(DemoContext&) override {}
    int* drawn;
    double lastDelta = -1;
    int firstRandom = -1;
    bool requestEnd = false;
};

class FrameDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        runtimeState = RuntimeState();
        frameInput = FrameInput();
        runConfig = RunConfig();
        runConfig.soundEnabled = 0;
        Calls::exits = -1;
        Calls::windowShutdowns = 0;
        Calls::deleted = 0;
        frameDriverHooks.exitProcess = [](int status) {
            Calls::exits = status;
            throw ExitCalled{status};
        };
        frameDriverHooks.destroyWindow = [] { ++Calls::windowShutdowns; };
        setFixedStep(60);
        runtimeState.lastClock = readClock();
        cueSheet.build();
    }
    void TearDown() override
    {
        setFixedStep(0);
        frameDriverHooks = FrameDriverHooks();
        for (parts*& p : runtimeState.partList)
            p = nullptr; // parts owned by the tests
    }
};

} // namespace

TEST(AmbientVolume, Schedule)
{
    struct Case {
        double t;
        bool muted;
        int volume;
    } cases[] = {{1.9, false, 0},  {2.0, false, 10},   {100, false, 10}, {227.99, false, 10},
                 {228.0, false, 2}, {243.0, false, 2}, {243.01, false, 0}, {100, true, 0}, {230, true, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ambientVolume(c.t, c.muted), c.volume) << c.t;
}

TEST_F(FrameDriverTest, FixedStepAdvancesTheShowExactly)
{
    int drawn = 0;
    CountingPart part(&drawn);
    runtimeState.partList[0] = &part;
    for (int i = 0; i < 120; ++i)
        runFrame();
    EXPECT_EQ(drawn, 120);
    EXPECT_NEAR(runtimeState.showTime, 2.0, 1e-9);
    EXPECT_NEAR(part.lastDelta, 1.0 / 60, 1e-12);
    EXPECT_EQ(frameInput.showTime, runtimeState.showTime);
    EXPECT_EQ(frameInput.partMode, 1);
    EXPECT_EQ(runtimeState.frameCount, 120);
}

TEST_F(FrameDriverTest, GeneratorSeededFromShowTime)
{
    int drawn = 0;
    CountingPart part(&drawn);
    runtimeState.partList[0] = &part;
    runtimeState.showTime = 12.345678;
    runFrame();
    // The seed is the show time before this frame's advance, in whole microseconds.
    rng::srand(12345678);
    rng::discard(50);
    EXPECT_EQ(part.firstRandom, rng::rand());
    int first = part.firstRandom;
    runtimeState.showTime = 12.345678; // same time again: same sequence
    runFrame();
    EXPECT_EQ(part.firstRandom, first);

    // Past 2147.48 s the microseconds no longer fit 32 signed bits: the seed is
    // their low 32 bits, as a 64-bit count gives them.
    struct Case {
        double showTime;
        uint32_t seed;
    } cases[] = {
        {2147.25, 2147250000u},
        {2147.5, 2147500000u},
        {3000.0, 3000000000u},
        {4295.0, 32704u},      // 4 295 000 000 - 2^32
        {5000.25, 705282704u}, // 5 000 250 000 - 2^32
        {1.0e9, 2764472320u},  // 10^15 mod 2^32
    };
    setShowEndSeconds(2.0e9); // the show goes on at these times
    for (const Case& c : cases) {
        SCOPED_TRACE(c.showTime);
        runtimeState.showTime = c.showTime;
        runFrame();
        rng::srand(c.seed);
        rng::discard(50);
        EXPECT_EQ(part.firstRandom, rng::rand());
    }
    setShowEndSeconds(0);
}

TEST_F(FrameDriverTest, NonPositiveDeltaAddsNothing)
{
    int drawn = 0;
    CountingPart part(&drawn);
    runtimeState.partList[0] = &part;
    runtimeState.lastClock = readClock() + 5.0; // the clock appears to have stepped back
    runFrame();
    EXPECT_EQ(runtimeState.frameDelta, 0.0);
    EXPECT_EQ(runtimeState.showTime, 0.0);
}

TEST_F(FrameDriverTest, ReleaseModeZeroesPointerInputs)
{
    runConfig.releaseMode = 1;
    runtimeState.leftDown = 1;
    runtimeState.rightDown = 1;
    runtimeState.wheelStepsTotal = 3;
    runtimeState.wheelTravelTotal = 0.6;
    runtimeState.keyTable['K'] = 1;
    runFrame();
    EXPECT_EQ(frameInput.leftButton, 0);
    EXPECT_EQ(frameInput.pointerX, 0.0);
    EXPECT_EQ(frameInput.pointerY, 0.0);
    EXPECT_EQ(frameInput.wheelTravel, 0.0);
    EXPECT_EQ(frameInput.rightButton, 1);
    EXPECT_EQ(frameInput.wheelSteps, 3);
    EXPECT_EQ(frameInput.keysDown['K'], 1);
    EXPECT_EQ(frameInput.cueValue, 9); // the first cue window covers 0 to 80 s

    runConfig.releaseMode = 0;
    runFrame();
    EXPECT_EQ(frameInput.leftButton, 1);
    EXPECT_DOUBLE_EQ(frameInput.wheelTravel, 0.6);
}

TEST_F(FrameDriverTest, SlotOneWindowFallsBackToSlotZero)
{
    int drawn0 = 0, drawn1 = 0;
    CountingPart part0(&drawn0), part1(&drawn1);
    runtimeState.partList[0] = &part0;
    runtimeState.showTime = 51.6 - 1.0 / 60;
    runFrame(); // advances to 51.6: inside the window, slot 1 empty
    EXPECT_EQ(drawn0, 1);
    runtimeState.partList[1] = &part1;
    runFrame();
    EXPECT_EQ(drawn1, 1);
    EXPECT_EQ(drawn0, 1);
    runtimeState.showTime = 66.3 + 0.001;
    runFrame();
    EXPECT_EQ(drawn0, 2);
    // Outside the window an empty slot 0 draws nothing and does not fail.
    runtimeState.partList[0] = nullptr;
    runtimeState.showTime = 10;
    runFrame();
    EXPECT_EQ(drawn0, 2);
}

TEST_F(FrameDriverTest, EndPaths)
{
    int drawn = 0;
    // The part's end request ends the program at the end of that frame, without
    // the fade and without touching the clipboard text.
    auto* part = new CountingPart(&drawn);
    part->requestEnd = true;
    runtimeState.partList[0] = part;
    runtimeState.clipboardText = "kept";
    EXPECT_THROW(runFrame(), ExitCalled);
    EXPECT_EQ(Calls::exits, 0);
    EXPECT_EQ(Calls::windowShutdowns, 1);
    EXPECT_EQ(Calls::deleted, 1);
    EXPECT_EQ(runtimeState.partList[0], nullptr);

    // Show time past the end.
    frameInput = FrameInput();
    runtimeState.partList[0] = new CountingPart(&drawn);
    runtimeState.showTime = showEndSeconds() - 0.001;
    EXPECT_THROW(runFrame(), ExitCalled);
    EXPECT_EQ(Calls::exits, 0);
    EXPECT_EQ(Calls::windowShutdowns, 2);
    EXPECT_EQ(Calls::deleted, 2);

    // Before the end the show goes on.
    runtimeState.partList[0] = nullptr;
    runtimeState.showTime = showEndSeconds() - 2.0 / 60;
    runtimeState.lastClock = readClock();
    EXPECT_TRUE(runFrame());
}

TEST_F(FrameDriverTest, ChapterJumpOnFirstFrameOnly)
{
    runConfig.jumpChapter = 3;
    runFrame();
    EXPECT_EQ(runtimeState.showTime, 130.0);
    runFrame();
    EXPECT_NEAR(runtimeState.showTime, 130.0 + 1.0 / 60, 1e-9);

    runtimeState = RuntimeState();
    runtimeState.lastClock = readClock();
    runConfig.jumpChapter = 0; // not a chapter: time left alone
    runFrame();
    EXPECT_NEAR(runtimeState.showTime, 1.0 / 60, 1e-9);
}
