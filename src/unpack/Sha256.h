// Sha256: the payload's digest, computed by the program itself (FIPS 180-4), so that checking the payload needs no
// crypto provider of Windows: XP before Service Pack 3 has none for SHA-256, and a damaged provider registration would
// otherwise be told to the user as a damaged download, for ever.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr DWORD kSha256Size = 32;

void Sha256(const void* data, size_t size, BYTE digest[kSha256Size]);
