// The payload lies in the program's resources, so the program's signature covers every byte of it; its digest lies
// there too, so that a damaged copy is known before a single file is written.
#include "unpack/Payload.h"

#include "unpack/UnpackResource.h"

namespace {
const BYTE* Resource(HMODULE module, int id, size_t* size) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    *size = found ? ::SizeofResource(module, found) : 0;
    return loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
}

void Copy(BYTE* to, const BYTE* from, size_t size) {
    for (size_t i = 0; i < size; ++i) to[i] = from[i];
}
}  // namespace

bool CopyPayload(HMODULE module, Payload* payload) {
    size_t size = 0, digestSize = 0;
    const BYTE* cabinet = Resource(module, IDR_PAYLOAD, &size);
    const BYTE* digest = Resource(module, IDR_PAYLOAD_SHA256, &digestSize);
    if (!cabinet || !digest || size == 0) return false;
    // Committed private memory: paged out, if at all, to the page file, never read again from the program's file.
    auto* copy = static_cast<BYTE*>(::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!copy) return false;
    Copy(copy, cabinet, size);
    DWORD unused = 0;
    ::VirtualProtect(copy, size, PAGE_READONLY, &unused);  // read only from here on, for the check and the unpacking
    payload->data = copy;
    payload->size = size;
    payload->digestSize = digestSize;
    Copy(payload->digest, digest, digestSize < kSha256Size ? digestSize : kSha256Size);
    return true;
}

void FreePayload(Payload* payload) {
    if (payload->data) ::VirtualFree(const_cast<BYTE*>(payload->data), 0, MEM_RELEASE);
    *payload = Payload();
}

bool PayloadIntact(const Payload& payload) {
    if (!payload.data || payload.size == 0 || payload.digestSize != kSha256Size) return false;
    BYTE digest[kSha256Size] = {};
    Sha256(payload.data, payload.size, digest);
    BYTE differ = 0;
    for (DWORD i = 0; i < kSha256Size; ++i) differ |= digest[i] ^ payload.digest[i];
    return differ == 0;
}
