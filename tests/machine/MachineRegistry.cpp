// The test programs' access to HKEY_LOCAL_MACHINE, the display's device keys below Enum included.
#include "MachineRegistry.h"

#include <cstring>

namespace machine {

namespace {
std::wstring ToWide(const std::string& text, UINT codePage) {
    int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (size > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

std::string FromWide(const std::wstring& wide, UINT codePage) {
    int size =
        ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr,
                              nullptr);
    }
    return text;
}

const wchar_t kEnum[] = L"SYSTEM\\CurrentControlSet\\Enum\\";
constexpr std::size_t kEnumLength = sizeof kEnum / sizeof kEnum[0] - 1;

// A key named by its Wow6432Node path is written where a 32-bit installer's writes lie on 64-bit Windows: through
// the 64-bit view (32-bit Windows ignores the flag). A 32-bit process's own create of such a path would make the key
// a second time below it under Wine, while the program's 32-bit open resolves the path as Windows does. The
// Wow6432Node key itself is met the same way.
REGSAM View(const std::wstring& key) { return key.find(L"\\Wow6432Node") != std::wstring::npos ? KEY_WOW64_64KEY : 0; }

bool EnablePrivilege(HANDLE token, const char* name) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    // Succeeds without enabling anything when the token lacks the privilege; the last error tells.
    return ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) && ::GetLastError() == ERROR_SUCCESS;
}

// The one call that deletes a key through a handle: RegDeleteKey opens the key again, with the key's own security.
LONG DeleteByHandle(HKEY handle) {
    using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
    static const auto deleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    return deleteKey && deleteKey(handle) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}
}  // namespace

bool EnableRegistryPrivileges() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    bool enabled = EnablePrivilege(token, SE_RESTORE_NAME) && EnablePrivilege(token, SE_BACKUP_NAME) &&
                   EnablePrivilege(token, SE_TAKE_OWNERSHIP_NAME);
    ::CloseHandle(token);
    return enabled;
}

// Only the backup and restore privileges with REG_OPTION_BACKUP_RESTORE, which ignore the keys' security, open them.
bool BelowEnum(const std::wstring& key) { return _wcsnicmp(key.c_str(), kEnum, kEnumLength) == 0; }

std::wstring Wide(const std::string& ansi) { return ToWide(ansi, CP_ACP); }
std::wstring FromUtf8(const std::string& utf8) { return ToWide(utf8, CP_UTF8); }

std::string Ansi(const std::wstring& wide) { return FromWide(wide, CP_ACP); }
std::string Utf8(const std::wstring& wide) { return FromWide(wide, CP_UTF8); }

// A device key Windows has seen a device at holds a Properties subkey that only SYSTEM may open; an administrator's
// ordinary open of it is denied, and only then (the key exists) is it opened through the backup privilege.
LONG OpenToRead(const std::wstring& key, HKEY* handle) {
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | View(key), handle);
    if (status != ERROR_ACCESS_DENIED || !BelowEnum(key)) return status;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE,
                             KEY_READ | View(key), nullptr, handle, nullptr);
}

// Windows ignores the access asked for with REG_OPTION_BACKUP_RESTORE and gives what the enabled privileges allow
// (the restore privilege writing and deleting, the backup privilege reading); Wine gives the access asked for. A
// device key is made level by level with that option: a parent made on the way by an ordinary create would be
// refused on Windows. A key that exists is opened, not created: Wine's create replaces its class.
LONG CreateToWrite(const std::wstring& key, HKEY* handle, const std::wstring& keyClass) {
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | View(key), handle) == ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    static const bool privileged = EnableRegistryPrivileges();
    DWORD options = BelowEnum(key) && privileged ? REG_OPTION_BACKUP_RESTORE : 0;
    for (std::size_t level = key.find(L'\\', kEnumLength); options && level != std::wstring::npos;
         level = key.find(L'\\', level + 1)) {
        HKEY parent = nullptr;
        LONG status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.substr(0, level).c_str(), 0, nullptr, options,
                                        KEY_ALL_ACCESS | View(key), nullptr, &parent, nullptr);
        if (status != ERROR_SUCCESS) return status;
        ::RegCloseKey(parent);
    }
    std::wstring className = keyClass;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, keyClass.empty() ? nullptr : &className[0], options,
                             KEY_ALL_ACCESS | View(key), nullptr, handle, nullptr);
}

// A handle opened with REG_OPTION_BACKUP_RESTORE may write values and keys but not a key's security. Windows gives
// WRITE_DAC to a key's owner, which the keys this program made have as theirs (the Administrators group), and
// WRITE_OWNER through the take-ownership privilege, while the restore privilege lets any SID be the owner set. A key
// someone else owns (one that could not be deleted) is taken over first.
LONG SetKeySecurity(const std::wstring& key, PSECURITY_DESCRIPTOR security) {
    const REGSAM access = WRITE_DAC | WRITE_OWNER | View(key);
    HKEY handle = nullptr;
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, access, &handle);
    if (status == ERROR_ACCESS_DENIED &&
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, WRITE_OWNER | View(key), &handle) == ERROR_SUCCESS) {
        BYTE administrators[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof administrators;
        SECURITY_DESCRIPTOR owned;
        if (::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
            ::InitializeSecurityDescriptor(&owned, SECURITY_DESCRIPTOR_REVISION) &&
            ::SetSecurityDescriptorOwner(&owned, administrators, FALSE)) {
            ::RegSetKeySecurity(handle, OWNER_SECURITY_INFORMATION, &owned);
        }
        ::RegCloseKey(handle);
        status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, access, &handle);
    }
    if (status != ERROR_SUCCESS) return status;
    status = ::RegSetKeySecurity(
        handle, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security);
    ::RegCloseKey(handle);
    return status;
}

bool DeleteValue(const std::wstring& key, const std::wstring& name) {
    HKEY handle = nullptr;
    if (OpenToRead(key, &handle) != ERROR_SUCCESS) return true;
    ::RegCloseKey(handle);
    if (CreateToWrite(key, &handle) != ERROR_SUCCESS) return false;
    LONG status = ::RegDeleteValueW(handle, name.c_str());
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::vector<std::wstring> Subkeys(HKEY handle) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0];
        if (::RegEnumKeyExW(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

bool DeleteTree(const std::wstring& key) {
    HKEY handle = nullptr;
    LONG status = OpenToRead(key, &handle);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return false;
    std::vector<std::wstring> children = Subkeys(handle);
    ::RegCloseKey(handle);
    for (const std::wstring& child : children) {
        if (!DeleteTree(key + L"\\" + child)) return false;
    }
    if (CreateToWrite(key, &handle) != ERROR_SUCCESS) return false;
    status = DeleteByHandle(handle);
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

LONG OpenToRead(const std::string& key, HKEY* handle) { return OpenToRead(Wide(key), handle); }
LONG CreateToWrite(const std::string& key, HKEY* handle) { return CreateToWrite(Wide(key), handle); }
bool DeleteTree(const std::string& key) { return DeleteTree(Wide(key)); }

}  // namespace machine
