// RunSetup: the unpacked setup started from its folder, waited for, and its exit code taken.
#pragma once

#include <windows.h>

#include <string>

// Starts `program` (an absolute path) with `folder` as its current directory and waits for it to end. False with
// Windows' error when it cannot be started.
bool RunSetup(const std::wstring& program, const std::wstring& folder, DWORD* exitCode, DWORD* error);
