// Libraries that only some runs need (sounds, speech) are loaded when needed, by full path, so that a DLL planted
// beside the setup is never used in their place and a run that doesn't need them doesn't pay for them.
#include "afx/SystemLibrary.h"

#include <cstring>

// A plain buffer, no string class: the one-file program shares this and links no C++ library.
HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH] = "";
    UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::strcpy(path + length + 1, name);
    return ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
