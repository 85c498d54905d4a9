// The payload: the shipped folder as a cabinet inside the program, and the check that it is whole.
#pragma once

#include <windows.h>

#include <cstddef>

#include "unpack/SystemCrypto.h"

struct Payload {
    const BYTE* data = nullptr;
    size_t size = 0;
    const BYTE* digest = nullptr;  // the SHA-256 the build computed for the cabinet
    size_t digestSize = 0;
};

// The cabinet and its digest as resources of the module; false when either is missing.
bool FindPayload(HMODULE module, Payload* payload);
// True only when the cabinet's SHA-256 is the digest kept beside it: a damaged or cut-short download is refused
// before anything is written.
bool PayloadIntact(const CSystemCrypto& crypto, const Payload& payload);
