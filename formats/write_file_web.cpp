// UTF-8 file names in the browser build: its file system takes them as they are.
#include "formats/write_file.h"

std::FILE* openFileForWriting(const std::string& utf8Path) { return std::fopen(utf8Path.c_str(), "wb"); }
