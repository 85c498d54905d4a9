// The test programs' access to HKEY_LOCAL_MACHINE, the display's device keys below Enum included.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace machine {

// The restore privilege of this process, enabled; false when its token lacks it (not elevated).
bool EnableRestorePrivilege();

// The key opened for reading; ERROR_FILE_NOT_FOUND when it is missing.
LONG OpenToRead(const std::string& key, HKEY* handle);
// The key opened for writing, made (with its parents) when missing.
LONG CreateToWrite(const std::string& key, HKEY* handle);
// Deletes the key and every key below it; a missing key is no error.
bool DeleteTree(const std::string& key);
// The names of the key's direct subkeys.
std::vector<std::string> Subkeys(HKEY handle);

}  // namespace machine
