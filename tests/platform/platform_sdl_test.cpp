// The SDL backend's translation of events into window messages, fed with
// synthetic SDL events (needs a display: runs under Xvfb).
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "platform/platform.h"

using namespace platform;

namespace {

std::vector<Message> drain()
{
    std::vector<Message> messages;
    Message m;
    while (peekMessage(m))
        messages.push_back(m);
    return messages;
}

void pushKey(Uint32 type, SDL_Keycode key, bool repeat)
{
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

int dispatched = 0;
bool countDispatch(const Message&)
{
    ++dispatched;
    return false;
}

} // namespace

TEST(PlatformSdlTest, KeysTypeCharactersAgainWithEveryRepeatAndReachTheWindowProcedure)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    drain();
    setWindowProcedure(countDispatch);
    pushKey(SDL_KEYDOWN, SDLK_q, false);
    pushKey(SDL_KEYDOWN, SDLK_q, true);
    pushKey(SDL_KEYDOWN, SDLK_q, true);
    pushKey(SDL_KEYUP, SDLK_q, false);
    pushKey(SDL_KEYDOWN, SDLK_UP, false); // types nothing
    const std::vector<Message> got = drain();
    setWindowProcedure(nullptr);

    const std::vector<std::pair<uint32_t, uint64_t>> want = {
        {kMsgKeyDown, 'Q'}, {kMsgChar, 'q'}, {kMsgKeyDown, 'Q'}, {kMsgChar, 'q'},
        {kMsgKeyDown, 'Q'}, {kMsgChar, 'q'}, {kMsgKeyUp, 'Q'},  {kMsgKeyDown, kVkUp}};
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].id, want[i].first) << i;
        EXPECT_EQ(got[i].wParam, want[i].second) << i;
    }
    EXPECT_EQ(dispatched, static_cast<int>(want.size()));

    // The quit message is only returned, never dispatched.
    dispatched = 0;
    setWindowProcedure(countDispatch);
    postQuitMessage(3);
    Message m;
    ASSERT_TRUE(peekMessage(m));
    EXPECT_EQ(m.id, kMsgQuit);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(dispatched, 0);
    setWindowProcedure(nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}
