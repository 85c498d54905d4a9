// ExtractCabinet: every file of a cabinet held in memory written below a folder, through Windows' own cabinet.dll.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Writes every file of the cabinet below `folder` (which exists), making its subfolders, each file new. False when
// cabinet.dll is missing, the cabinet is not whole, an entry's name would leave the folder, or a write fails;
// `error` is then Windows' error of the failed step, or ERROR_INVALID_DATA for a cabinet that is not whole.
bool ExtractCabinet(const BYTE* data, size_t size, const std::wstring& folder, DWORD* error);
