// Process entry in a browser page. The page turns its query (?no-dialog&size=...)
// into these arguments. A page cannot start ffmpeg, so a recording is refused here
// as a usage error before anything else happens.
#include "app/entry.h"

#include <cstdio>
#include <cstring>

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
    return programMain(argc, argv);
}
