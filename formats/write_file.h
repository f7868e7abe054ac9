// Opening a file for writing by its UTF-8 name, the one encoding of file names
// inside the program. Backends: write_file_win32.cpp (the wide call: the narrow
// one would read the name in the ANSI code page), write_file_web.cpp (fopen).
#pragma once
#include <cstdio>
#include <string>

// The file opened "wb", or null.
std::FILE* openFileForWriting(const std::string& utf8Path);
