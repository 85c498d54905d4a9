// RunSetup: the unpacked setup started from its folder in a job that holds everything it starts, waited for until the
// last process of that job has ended, and its exit code taken.
#pragma once

#include <windows.h>

// Starts `program` (an absolute path) with `folder` as its current directory, in a job that ends the setup's whole
// tree if this program is ended, and waits until every process of that tree has ended. False with Windows' error when
// it cannot be started.
bool RunSetup(const wchar_t* program, const wchar_t* folder, DWORD* exitCode, DWORD* error);
