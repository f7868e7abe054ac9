// UTF-8 file names on Windows: converted to the wide names the system keeps.
#include "formats/write_file.h"

#include <windows.h>

std::FILE* openFileForWriting(const std::string& utf8Path)
{
    std::wstring wide(size_t(MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, nullptr, 0)), L'\0');
    if (wide.empty() || MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, wide.data(), int(wide.size())) == 0)
        return nullptr;
    return _wfopen(wide.c_str(), L"wb");
}
