// The payload: the shipped folder as a cabinet inside the program, copied into the program's own memory, and the check
// that it is whole.
#pragma once

#include <windows.h>

#include <cstddef>

#include "unpack/Sha256.h"

struct Payload {
    const BYTE* data = nullptr;  // the cabinet, in the program's own memory once copied
    size_t size = 0;
    BYTE digest[kSha256Size] = {};  // the SHA-256 the build computed for the cabinet
    size_t digestSize = 0;
};

// Copies the cabinet and its digest out of the module's resources into memory of the program's own, once. A resource
// is read from pages of the file's mapping, which Windows may drop and read again from the file (from a network share
// or a removable medium, perhaps changed meanwhile); the copy is what is checked and then unpacked, so what is
// unpacked is what was checked. False when either resource is missing or there is no memory for the copy.
bool CopyPayload(HMODULE module, Payload* payload);
void FreePayload(Payload* payload);
// True only when the cabinet's SHA-256 is the digest kept beside it: a damaged or cut-short download is refused
// before anything is written.
bool PayloadIntact(const Payload& payload);
