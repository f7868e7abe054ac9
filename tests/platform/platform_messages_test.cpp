// The backends' portable pieces: the message queue of the SDL and browser
// backends, and the preset message-box answer of the native ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/message_box_answer.h"
#include "platform/message_queue.h"

using namespace platform;

namespace {

std::vector<uint32_t> seen;
bool note(const Message& message)
{
    seen.push_back(message.id);
    return false;
}

} // namespace

TEST(PlatformMessages, QueueHandsOutInOrderAndShowsAllButQuitToTheProcedure)
{
    MessageQueue queue;
    Message m;
    EXPECT_FALSE(queue.take(m));
    queue.post(kMsgKeyDown, 'Q');
    queue.post(kMsgQuit, 3);
    queue.post(Message{kMsgMouseMove, 0, makeLParam(-1, 2)});
    queue.windowProcedure = note;
    seen.clear();

    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(m.id, kMsgKeyDown);
    EXPECT_EQ(m.wParam, static_cast<uint64_t>('Q'));
    EXPECT_EQ(seen, std::vector<uint32_t>{kMsgKeyDown}) << "the procedure sees it before it is returned";
    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(m.id, kMsgQuit);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(seen.size(), 1u) << "the quit message is only returned";
    ASSERT_TRUE(queue.take(m));
    EXPECT_EQ(m.lParam, makeLParam(-1, 2));
    EXPECT_FALSE(queue.take(m));
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(seen.size(), 2u);
}

TEST(PlatformMessages, PresetMessageBoxAnswers)
{
    const struct {
        const char* preset; // nullptr: unset
        unsigned flags;
        bool answered;
        int answer;
    } cases[] = {
        {nullptr, kMbYesNo, false, 0},
        {"yes", kMbYesNo, true, kIdYes},
        {"yes", kMbYesNo | kMbIconExclamation, true, kIdYes},
        {"no", kMbYesNo | kMbIconStop, true, kIdNo},
        {"YES", kMbYesNo, true, kIdNo},
        {"", kMbYesNo, true, kIdNo},
        {"yes", kMbOk | kMbIconStop, true, kIdOk},
        {"no", kMbOk | kMbIconInformation, true, kIdOk},
    };
    const char* before = std::getenv("ZUR_MESSAGEBOX_ANSWER");
    const std::string kept = before ? before : "";
    for (const auto& c : cases) {
        if (c.preset)
            setenv("ZUR_MESSAGEBOX_ANSWER", c.preset, 1);
        else
            unsetenv("ZUR_MESSAGEBOX_ANSWER");
        int answer = 0;
        EXPECT_EQ(presetMessageBoxAnswer(c.flags, answer), c.answered) << (c.preset ? c.preset : "unset");
        if (c.answered) {
            EXPECT_EQ(answer, c.answer) << c.preset << " " << c.flags;
        }
    }
    if (before)
        setenv("ZUR_MESSAGEBOX_ANSWER", kept.c_str(), 1);
    else
        unsetenv("ZUR_MESSAGEBOX_ANSWER");
}
