// The cabinet held in memory, read through Windows' own cabinet.dll: its entries' names checked, then its files
// written below a folder.
#pragma once

#include <windows.h>

#include <cstddef>

// A name that stays below the folder and is a file there: relative, plain ASCII, no drive, stream, parent folder or
// character Windows forbids in a name, and no component that Windows would take for a device (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, with any extension, in any case) or change (one ending in a dot or a blank).
bool SafeEntryName(const char* name);

// True when the cabinet can be read and every entry's name is safe; nothing is written. Run before the folder is made.
// False with `error` ERROR_INVALID_DATA for a cabinet that is not whole or a name that is not safe, or Windows' error
// when the cabinet cannot be read at all (no cabinet.dll).
bool CabinetNamesSafe(const BYTE* data, size_t size, DWORD* error);

// Writes every file of the cabinet below `folder` (which exists), making its subfolders, each file new. False when
// cabinet.dll is missing, the cabinet is not whole, an entry's name is not safe, or a write fails; `error` is then
// Windows' error of the failed step, or ERROR_INVALID_DATA for a cabinet that is not whole or a name that is not safe.
bool ExtractCabinet(const BYTE* data, size_t size, const wchar_t* folder, DWORD* error);
