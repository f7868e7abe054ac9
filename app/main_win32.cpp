// Process entry on Windows: a GUI program, so no console appears unless the show
// is started with arguments (then the developer console opens at once, so that
// --help and usage errors are seen too). The arguments reach the program as UTF-8.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/entry.h"
#include "platform/platform.h"

namespace {

std::string utf8(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(bytes > 1 ? bytes - 1 : 0), '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // The picture is drawn in the display's own pixels: sizes in the dialog and
    // in full screen are real modes, not scaled ones.
    SetProcessDPIAware();
    if (commandLine && commandLine[0] != '\0')
        platform::openConsole();
    // The arguments as UTF-8, the one encoding of file names inside the program:
    // the ANSI code page cannot spell most of them.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    for (int i = 0; wide && i < count; ++i)
        words.push_back(utf8(wide[i]));
    if (wide)
        LocalFree(wide);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return programMain(int(words.size()), argv.data());
}
