// Win32 backend of the recording services: helper programs found with SearchPathW
// and started with CreateProcessW (arguments UTF-8 inside the program) in a process group of their own (a Ctrl+C at the
// console then reaches only this program, which ends the child's input itself),
// stop requests recorded by a console control handler, and a display that is always
// there.
#include "platform/process.h"

#include <windows.h>
#include <io.h>

#include <atomic>

struct ChildProcess {
    HANDLE process = nullptr;
    HANDLE input = nullptr; // write end of the child's standard input
};

namespace {

std::atomic<int> stopStatus{0};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const int status = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 143;
    if (stopStatus.load() != 0)
        return FALSE; // second request: the default handler ends the process
    stopStatus.store(status);
    // A close, log-off or shut-down event ends the process when the handler
    // returns whatever it says; those give the recording the few seconds Windows
    // allows by waiting here.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(5000);
    return TRUE;
}

// One command line from the arguments, quoted as the C runtime's parser reads it
// back: backslashes doubled before a quote, quotes escaped.
std::string commandLineOf(const std::vector<std::string>& argv)
{
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty())
            line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '"';
        size_t backslashes = 0;
        for (char c : arg) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, '\\');
        line += '"';
    }
    return line;
}

std::wstring wideOf(const std::string& text)
{
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(size_t(count > 0 ? count : 1), L'\0');
    if (count > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), count);
    out.resize(out.size() - 1);
    return out;
}

std::string programPath(const std::string& program)
{
    wchar_t found[MAX_PATH];
    if (SearchPathW(nullptr, wideOf(program).c_str(), L".exe", MAX_PATH, found, nullptr) == 0)
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, found, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(bytes > 1 ? bytes - 1 : 0), '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, found, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

// Starts argv with standard input from `input` (the null device when null); the
// process handle, or null.
HANDLE spawn(const std::vector<std::string>& argv, HANDLE input)
{
    if (argv.empty())
        return nullptr;
    const std::string path = programPath(argv[0]);
    if (path.empty())
        return nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nullInput = nullptr;
    if (!input) {
        nullInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                nullptr);
        input = nullInput;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    // Arguments are UTF-8 (file names in any script): the wide call keeps them whole.
    std::wstring widePath = wideOf(path), line = wideOf(commandLineOf(argv));
    const BOOL started = CreateProcessW(widePath.c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    if (nullInput)
        CloseHandle(nullInput);
    if (!started)
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

int waitFor(HANDLE process)
{
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    const BOOL known = GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return known ? static_cast<int>(code) : -1;
}

} // namespace

bool programAvailable(const std::string& program) { return !program.empty() && !programPath(program).empty(); }

ChildProcess* startChildWithInput(const std::vector<std::string>& argv)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 20))
        return nullptr;
    // Only the child's end is inherited; ours must not keep its input open.
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE process = spawn(argv, readEnd);
    CloseHandle(readEnd);
    if (!process) {
        CloseHandle(writeEnd);
        return nullptr;
    }
    auto* child = new ChildProcess;
    child->process = process;
    child->input = writeEnd;
    return child;
}

bool writeChild(ChildProcess* child, const void* data, size_t bytes)
{
    if (!child || !child->input)
        return false;
    const char* at = static_cast<const char*>(data);
    while (bytes > 0) {
        const DWORD chunk = static_cast<DWORD>(bytes < (1u << 30) ? bytes : (1u << 30));
        DWORD done = 0;
        if (!WriteFile(child->input, at, chunk, &done, nullptr))
            return false; // the reader has gone
        at += done;
        bytes -= done;
    }
    return true;
}

int finishChild(ChildProcess* child)
{
    if (!child)
        return -1;
    if (child->input)
        CloseHandle(child->input);
    const int status = waitFor(child->process);
    delete child;
    return status;
}

int runProgram(const std::vector<std::string>& argv)
{
    HANDLE process = spawn(argv, nullptr);
    return process ? waitFor(process) : -1;
}

void catchStopRequests() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

int stopRequestStatus() { return stopStatus.load(); }

bool standardErrorIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// A Windows session always has a desktop to show the window on.
bool displayAvailable() { return true; }

void useOffscreenDisplay() {}
