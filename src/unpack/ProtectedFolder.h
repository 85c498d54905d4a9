// The folder the shipped files are unpacked into: new, random, below Windows' own temporary folder, admin-only.
#pragma once

#include <windows.h>

#include <string>

#include "unpack/SystemCrypto.h"

enum class FolderFailure { None, NoTempFolder, Other };

// Makes a new folder with a random name below %SystemRoot%\Temp that only SYSTEM and Administrators may open.
// False with the cause and Windows' error when there is no such temporary folder or no folder can be made.
bool MakeProtectedFolder(const CSystemCrypto& crypto, std::wstring* folder, FolderFailure* failure, DWORD* error);

// Removes the folder and everything below it; what a process still holds is removed at the next restart.
void RemoveFolder(const std::wstring& folder);
