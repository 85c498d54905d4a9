// SystemCrypto: SHA-256 and random bytes from Windows' own crypto provider, the only ones the unpacking trusts.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr DWORD kSha256Size = 32;

// The provider of the system folder, opened for hashing and random numbers only (no keys are kept).
class CSystemCrypto {
public:
    CSystemCrypto();
    ~CSystemCrypto();
    CSystemCrypto(const CSystemCrypto&) = delete;
    CSystemCrypto& operator=(const CSystemCrypto&) = delete;

    bool Ready() const { return m_provider != 0; }
    bool Sha256(const void* data, size_t size, BYTE digest[kSha256Size]) const;
    bool Random(BYTE* bytes, DWORD size) const;

private:
    HCRYPTPROV m_provider = 0;
};
