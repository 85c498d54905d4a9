// Windows' CryptoAPI through advapi32, a DLL on the KnownDLLs list: the system's random generator for the folder's
// name. The payload's digest is the program's own (Sha256.cpp): it needs no provider. bcrypt would serve Vista and
// later only, and is not a KnownDLL on all.
#include "unpack/SystemCrypto.h"

#include "afx/SystemLibrary.h"

CSystemCrypto::CSystemCrypto() {
    // advapi32 loads the provider's DLL by the name its registration gives, which on XP is a bare "rsaenh.dll",
    // searched for beside the program before the system folder. Loaded first by full path, it is found in the
    // process instead.
    LoadSystemLibrary("rsaenh.dll");
    if (!::CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        m_provider = 0;
        m_error = ::GetLastError();
    }
}

CSystemCrypto::~CSystemCrypto() {
    if (m_provider) ::CryptReleaseContext(m_provider, 0);
}

bool CSystemCrypto::Random(BYTE* bytes, DWORD size) const {
    if (!m_provider) {
        ::SetLastError(m_error);
        return false;
    }
    return ::CryptGenRandom(m_provider, size, bytes) != FALSE;
}
