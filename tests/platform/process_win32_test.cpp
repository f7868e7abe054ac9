// The Windows helper-program services that recording stands on, against Wine's own
// cmd.exe: input written through the pipe reaches the child, a child that has gone
// makes writes fail instead of hanging, exit statuses come back.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(ProcessWin32, FindsAndRunsPrograms)
{
    EXPECT_TRUE(programAvailable("cmd"));
    EXPECT_FALSE(programAvailable("no-such-program-here"));
    EXPECT_FALSE(programAvailable(""));
    EXPECT_EQ(runProgram({"cmd", "/c", "exit 7"}), 7);
    EXPECT_EQ(runProgram({"no-such-program-here"}), -1);
    EXPECT_EQ(startChildWithInput({"no-such-program-here"}), nullptr);
    EXPECT_TRUE(displayAvailable());
}

TEST(ProcessWin32, PipesInputToTheChild)
{
    const fs::path dir = fs::temp_directory_path() / "zoduv_process_test";
    fs::create_directories(dir);
    const fs::path copied = dir / "copied.txt";
    fs::remove(copied);
    // find copies the lines of its input that hold the word (cmd parses its own
    // command line, so the path has no spaces and needs no quotes).
    ChildProcess* child = startChildWithInput({"cmd", "/c", "find line > " + copied.string()});
    ASSERT_NE(child, nullptr);
    std::string sent;
    for (int line = 0; line < 2000; ++line)
        sent += "line " + std::to_string(line) + "\r\n";
    EXPECT_TRUE(writeChild(child, sent.data(), sent.size()));
    EXPECT_EQ(finishChild(child), 0);
    EXPECT_NE(contents(copied).find("line 1999"), std::string::npos);
    fs::remove_all(dir);
}

TEST(ProcessWin32, WritingToAChildThatHasGoneFails)
{
    ChildProcess* child = startChildWithInput({"cmd", "/c", "exit 3"});
    ASSERT_NE(child, nullptr);
    const std::string block(1 << 20, 'x');
    bool failed = false;
    for (int i = 0; i < 64 && !failed; ++i)
        failed = !writeChild(child, block.data(), block.size());
    EXPECT_TRUE(failed) << "the pipe's reader exited";
    EXPECT_EQ(finishChild(child), 3);
}
