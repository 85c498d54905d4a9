// The source root: the program's own file name split into drive and folder.
#include "probe/SourceRoot.h"

#include <windows.h>

#include <cstdlib>

#include "afx/Text.h"

std::string SourcePath(const char* pattern) {
    char module[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    char drive[_MAX_DRIVE] = "";
    char dir[_MAX_DIR] = "";
    _splitpath(module, drive, dir, nullptr, nullptr);
    return FormatText(pattern, drive, dir);
}
