// The test programs' access to HKEY_LOCAL_MACHINE, the display's device keys below Enum included.
#include "MachineRegistry.h"

#include <cstring>

namespace machine {

namespace {
// A key named by its Wow6432Node path is written where a 32-bit installer's writes lie on 64-bit Windows: through
// the 64-bit view (32-bit Windows ignores the flag). A 32-bit process's own create of such a path would make the key
// a second time below it under Wine, while the program's 32-bit open resolves the path as Windows does.
REGSAM View(const std::wstring& key) {
    return key.find(L"\\Wow6432Node\\") != std::wstring::npos ? KEY_WOW64_64KEY : 0;
}

// Windows keeps the device keys for itself: not even an administrator may write them, except through the restore
// privilege and REG_OPTION_BACKUP_RESTORE, which ignore the keys' security.
bool BelowEnum(const std::wstring& key) {
    static const wchar_t kEnum[] = L"SYSTEM\\CurrentControlSet\\Enum\\";
    return _wcsnicmp(key.c_str(), kEnum, sizeof kEnum / sizeof kEnum[0] - 1) == 0;
}

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

bool EnableRestorePrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    bool enabled = EnablePrivilege(token, SE_RESTORE_NAME);
    ::CloseHandle(token);
    return enabled;
}

std::wstring Wide(const std::string& ansi) {
    int size = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (size > 0) ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], size);
    return wide;
}

std::string Ansi(const std::wstring& wide) {
    int size =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], size, nullptr, nullptr);
    return ansi;
}

LONG OpenToRead(const std::wstring& key, HKEY* handle) {
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | View(key), handle);
}

// Windows ignores the access asked for with REG_OPTION_BACKUP_RESTORE and gives what the restore privilege allows
// (writing and deleting, not reading: keys are read and listed through an ordinary handle); Wine gives the access
// asked for.
LONG CreateToWrite(const std::wstring& key, HKEY* handle) {
    DWORD options = 0;
    if (BelowEnum(key)) {
        static const bool privileged = EnableRestorePrivilege();
        if (privileged) options = REG_OPTION_BACKUP_RESTORE;
    }
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | View(key), nullptr,
                             handle, nullptr);
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
