// The Win32 backend of the platform layer with real window messages: what the
// program's procedure handles skips Windows' default processing, key repeats
// bring a character each, the client area is the size asked for, and the
// clipboard keeps text as CF_TEXT.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"

using namespace platform;

namespace {

std::vector<uint32_t> seen;
bool handleSystemCommands = false;

// Closing is the program's business, as in the show's own procedure.
bool recordMessage(const Message& message)
{
    seen.push_back(message.id);
    return message.id == WM_CLOSE || (handleSystemCommands && message.id == WM_SYSCOMMAND);
}

int count(uint32_t id)
{
    int n = 0;
    for (uint32_t s : seen)
        n += s == id;
    return n;
}

void drain()
{
    Message m;
    while (peekMessage(m)) {
    }
}

} // namespace

TEST(PlatformWin32Test, TheProcedureSeesEveryMessageAndWhatItHandlesGetsNoDefaultProcessing)
{
    ASSERT_TRUE(registerWindowClass());
    HWND window = static_cast<HWND>(createWindow("platform test", 50, 50, 320, 180, false, PixelFormat{}));
    ASSERT_NE(window, nullptr);
    setWindowProcedure(recordMessage);

    // The caption the system adds to every overlapped window is not taken out
    // of the client area.
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 320);
    EXPECT_EQ(client.bottom - client.top, 180);

    // A held key: one key-down, then repeats (bit 30: the key was down before).
    drain();
    seen.clear();
    const LPARAM firstPress = 1 | (0x10 << 16);
    const LPARAM repeat = firstPress | (1 << 30);
    PostMessageA(window, WM_KEYDOWN, 'Q', firstPress);
    PostMessageA(window, WM_KEYDOWN, 'Q', repeat);
    PostMessageA(window, WM_KEYDOWN, 'Q', repeat);
    drain();
    EXPECT_EQ(count(WM_KEYDOWN), 3);
    EXPECT_EQ(count(WM_CHAR), 3);

    // Close from the system menu: the default procedure would turn it into
    // WM_CLOSE; handled, it must not.
    seen.clear();
    handleSystemCommands = true;
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(count(WM_CLOSE), 0);
    handleSystemCommands = false;
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(count(WM_CLOSE), 1);

    // The quit message comes back without dispatch.
    seen.clear();
    postQuitMessage(5);
    Message m;
    ASSERT_TRUE(peekMessage(m));
    EXPECT_EQ(m.id, uint32_t(kMsgQuit));
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_TRUE(seen.empty());

    setWindowProcedure(nullptr);
    EXPECT_TRUE(destroyWindow(window));
    EXPECT_TRUE(unregisterWindowClass());
}

TEST(PlatformWin32Test, ClipboardHoldsTheTextWithoutAWindow)
{
    const std::string text = "Cam :1.5,-0.25,0.  \nPnt :0.,0.,0.  \n \n";
    ASSERT_TRUE(setClipboardText(text));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(data))), text);
    GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(getClipboardText(), text);
}

TEST(PlatformWin32Test, DisplayModesAndCounter)
{
    int width = 0, height = 0;
    ASSERT_TRUE(enumDisplayMode(0, width, height));
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    EXPECT_FALSE(enumDisplayMode(100000, width, height));
    EXPECT_GT(counterFrequency(), 1000u);
    const uint64_t before = counter();
    Sleep(2);
    EXPECT_GT(counter(), before);
}
