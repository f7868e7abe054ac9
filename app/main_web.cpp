// Process entry in a browser page. The page turns its query (?no-dialog&size=...)
// into these arguments. A page cannot start ffmpeg, so a recording is refused here
// as a usage error before anything else happens. A usage error says what is wrong
// in the native program's words; the page then lists the parameters it takes in
// place of the command line's usage text.
#include "app/entry.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--capture", 9) == 0) {
            std::fprintf(stderr, "zoduv: --capture needs ffmpeg, which a page cannot start; record the show "
                                 "with the Linux or Windows build\n");
            return kUsageExitStatus;
        }
    }
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc, argv, line, error)) {
        std::fprintf(stderr, "zoduv: %s\n", error.c_str());
        return kUsageExitStatus;
    }
    return programMain(argc, argv);
}
