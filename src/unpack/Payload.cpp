// The payload lies in the program's resources, so the program's signature covers every byte of it; its digest lies
// there too, so that a damaged copy is known before a single file is written.
#include "unpack/Payload.h"

#include "unpack/UnpackResource.h"

#include <cstring>

namespace {
const BYTE* Resource(HMODULE module, int id, size_t* size) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    *size = found ? ::SizeofResource(module, found) : 0;
    return loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
}
}  // namespace

bool FindPayload(HMODULE module, Payload* payload) {
    payload->data = Resource(module, IDR_PAYLOAD, &payload->size);
    payload->digest = Resource(module, IDR_PAYLOAD_SHA256, &payload->digestSize);
    return payload->data && payload->digest;
}

bool PayloadIntact(const CSystemCrypto& crypto, const Payload& payload) {
    if (!payload.data || payload.size == 0 || payload.digestSize != kSha256Size) return false;
    BYTE digest[kSha256Size] = {};
    if (!crypto.Sha256(payload.data, payload.size, digest)) return false;
    return std::memcmp(digest, payload.digest, kSha256Size) == 0;
}
