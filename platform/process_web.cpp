// A page starts no programs and receives no signals: no helper program is ever
// available (the entry refuses --capture before it gets here), stop requests never
// come, and the page itself is the display.
#include "platform/process.h"

bool programAvailable(const std::string&) { return false; }

ChildProcess* startChildWithInput(const std::vector<std::string>&) { return nullptr; }

bool writeChild(ChildProcess*, const void*, size_t) { return false; }

int finishChild(ChildProcess*) { return -1; }

int runProgram(const std::vector<std::string>&) { return -1; }

ChildProcess* startChild(const std::vector<std::string>&) { return nullptr; }

bool waitChild(ChildProcess*, double, int& status)
{
    status = -1;
    return true;
}

void endChild(ChildProcess*) {}

void catchStopRequests() {}

void setHardStopCleanup(const std::string&, const std::string&) {}

int stopRequestStatus() { return 0; }

bool standardErrorIsTerminal() { return false; }

bool displayAvailable() { return true; }

void useOffscreenDisplay() {}
