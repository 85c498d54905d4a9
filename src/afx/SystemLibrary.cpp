// Libraries that only some runs need (sounds, speech) are loaded when needed, by full path, so that a DLL planted
// beside the setup is never used in their place and a run that doesn't need them doesn't pay for them.
#include "afx/SystemLibrary.h"

#include <string>

HMODULE LoadSystemLibrary(const char* name) {
    char system[MAX_PATH] = "";
    UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(system) + "\\" + name;
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
