// Where the show's files are. A shortcut, a file manager or a command prompt may
// start the program in any folder: when the working folder holds none of the
// show's files, the folder of the program is tried (the Windows zip keeps them
// beside zoduv.exe), then its show/ folder (a build keeps them in build/show
// beside build/zoduv), then the installed folder (the Debian package keeps them in
// /usr/share/games/zoduv for /usr/games/zoduv). Pure: the entry supplies the
// folders and changes into the one found.
#pragma once
#include <string>
#include <vector>

struct CommandLine;

// The file the show cannot start without; its absence names the folders tried.
extern const char* const kShowFolderMarker; // "newobjects/paths.pt"

struct ShowFolderSearch {
    std::string found;                 // empty: no folder holds the marker
    std::vector<std::string> searched; // in the order tried
};

// The working folder when it holds one of the show's own asset folders (a damaged
// tree there is reported, not passed over: `found` stays empty without the
// marker); otherwise the first of programFolder, programFolder/show and the
// installed folder that holds the marker.
ShowFolderSearch findShowFolder(const std::string& workingFolder, const std::string& programFolder);

// The message for a search that found nothing: which file, and where it looked.
std::string showFolderMissingText(const ShowFolderSearch& search);

// The places searched, for --help: a paragraph of lines of at most 80 columns.
std::string showFolderHelpText();

// The command line's output files (screenshots, recording, benchmark report) that
// are relative become absolute under `from`, so they still land where the program
// was called from after it changes folder.
void anchorOutputFiles(CommandLine& line, const std::string& from);
