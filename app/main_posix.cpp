// Process entry: the command line, then the show.
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/entry.h"

int main(int argc, char** argv)
{
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc, argv, line, error)) {
        std::fprintf(stderr, "zoduv: %s\n%s", error.c_str(), usageText().c_str());
        return kUsageExitStatus;
    }
    if (line.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s\n", versionText().c_str());
        return 0;
    }
    return runShow(line);
}
