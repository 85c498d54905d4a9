// The one way the setup reads the registry: a short text value below HKEY_LOCAL_MACHINE, read afresh each time.
#include <cstring>

#include "app/SetupDlg.h"

namespace {
// Data of 80 bytes or more (terminating zero included) is not read at all and counts as missing.
constexpr DWORD kDataLimit = 80;
}  // namespace

bool CSetupDlg::ReadRegistryString(const char* keyPath, std::string valueName, std::string& result) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;

    char buffer[kDataLimit];
    DWORD type = 0;
    DWORD size = kDataLimit;
    LONG status = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;

    // The text ends at the first zero byte, or with the data when it was stored without one.
    result.assign(buffer, ::strnlen(buffer, size));
    return true;
}
