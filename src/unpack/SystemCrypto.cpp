// Windows' CryptoAPI through advapi32, a DLL on the KnownDLLs list: SHA-256 for the payload's check and the system's
// random generator for the folder's name. bcrypt would serve Vista and later only, and is not a KnownDLL on all.
#include "unpack/SystemCrypto.h"

#include "afx/SystemLibrary.h"

CSystemCrypto::CSystemCrypto() {
    // advapi32 loads the provider's DLL by the name its registration gives, which on XP is a bare "rsaenh.dll",
    // searched for beside the program before the system folder. Loaded first by full path, it is found in the
    // process instead.
    LoadSystemLibrary("rsaenh.dll");
    if (!::CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        m_provider = 0;
    }
}

CSystemCrypto::~CSystemCrypto() {
    if (m_provider) ::CryptReleaseContext(m_provider, 0);
}

bool CSystemCrypto::Sha256(const void* data, size_t size, BYTE digest[kSha256Size]) const {
    HCRYPTHASH hash = 0;
    if (!m_provider || !::CryptCreateHash(m_provider, CALG_SHA_256, 0, 0, &hash)) return false;
    bool ok = true;
    // CryptHashData takes a DWORD length: a payload is hashed in pieces that fit one.
    const BYTE* next = static_cast<const BYTE*>(data);
    for (size_t left = size; ok && left > 0;) {
        DWORD piece = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        ok = ::CryptHashData(hash, next, piece, 0) != FALSE;
        next += piece;
        left -= piece;
    }
    DWORD length = kSha256Size;
    ok = ok && ::CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0) && length == kSha256Size;
    ::CryptDestroyHash(hash);
    return ok;
}

bool CSystemCrypto::Random(BYTE* bytes, DWORD size) const {
    return m_provider && ::CryptGenRandom(m_provider, size, bytes);
}
