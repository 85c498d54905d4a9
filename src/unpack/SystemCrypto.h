// SystemCrypto: random bytes from Windows' own crypto provider, for the unpacking folder's name.
#pragma once

#include <windows.h>

// The base provider of the system folder (PROV_RSA_FULL, on every Windows), opened for random numbers only.
class CSystemCrypto {
public:
    CSystemCrypto();
    ~CSystemCrypto();
    CSystemCrypto(const CSystemCrypto&) = delete;
    CSystemCrypto& operator=(const CSystemCrypto&) = delete;

    // False with Windows' error left for GetLastError when the provider cannot be had.
    bool Random(BYTE* bytes, DWORD size) const;

private:
    HCRYPTPROV m_provider = 0;
    DWORD m_error = ERROR_SUCCESS;
};
