// The folder the shipped files are unpacked into: new, random, below Windows' own temporary folder, admin-only, and
// held by the program from its creation on, so that no other program can rename or delete it.
#pragma once

#include <windows.h>

#include "unpack/SystemCrypto.h"

enum class FolderFailure { None, NoTempFolder, NoPermissions, Other };

struct UnpackFolder {
    wchar_t path[MAX_PATH] = L"";  // the folder; on a failure, the temporary folder it was to be made in
    HANDLE held = INVALID_HANDLE_VALUE;
};

// Makes a new folder with a random name below %SystemRoot%\Temp that only SYSTEM and Administrators may open, and
// keeps a handle to it that lets no one delete or rename it. False with the cause and Windows' error when there is no
// such temporary folder, its disk keeps no permissions (FAT, exFAT), or no folder can be made; nothing is left then.
bool MakeProtectedFolder(const CSystemCrypto& crypto, UnpackFolder* folder, FolderFailure* failure, DWORD* error);

// Removes everything below the folder while it is still held, then lets it go and removes it; what a process still
// holds is removed at the next restart.
void RemoveFolder(UnpackFolder* folder);
