// Where the shipped files are unpacked, and why there. The setup runs elevated and starts the driver installer
// elevated: the folder they come from must be one no other program can change between the unpacking and their use.
//
// Windows' rules this rests on: %SystemRoot%\Temp lets ordinary users create entries but not list or open others'
// (its DACL grants Users only traverse, create-file and create-folder); a new object's DACL is the one given at
// creation, and a protected DACL (SE_DACL_PROTECTED) takes nothing from the parent's inheritable entries (CREATOR
// OWNER's full control there). So a folder made new, with a name nobody can guess, owned by Administrators, granting
// only SYSTEM and Administrators, cannot be opened, planted into or re-permitted by a program of the user that is not
// elevated, whose token holds Administrators for deny only. A name that exists already may have been made by such a
// program ahead of us (NSIS before 3.11, CVE-2025-43715): it is never used, another name is drawn instead.
#include "unpack/ProtectedFolder.h"

namespace {
constexpr int kAttempts = 16;
constexpr DWORD kRandomBytes = 16;  // 128 bits: a name no one guesses or meets by chance

// SYSTEM and Administrators, full control, passed on to every file and subfolder; nothing for anyone else.
class ProtectedSecurity {
public:
    ProtectedSecurity() {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &m_system) ||
            !::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                        &m_admins)) {
            return;
        }
        const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        m_ready =
            ::InitializeAcl(reinterpret_cast<PACL>(m_acl), sizeof m_acl, ACL_REVISION) &&
            ::AddAccessAllowedAceEx(reinterpret_cast<PACL>(m_acl), ACL_REVISION, inherit, FILE_ALL_ACCESS, m_system) &&
            ::AddAccessAllowedAceEx(reinterpret_cast<PACL>(m_acl), ACL_REVISION, inherit, FILE_ALL_ACCESS, m_admins) &&
            ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            // Administrators as owner: an owner may always rewrite the DACL, and the user's own SID (XP's
            // default owner) is held by the user's programs that are not elevated.
            ::SetSecurityDescriptorOwner(&m_descriptor, m_admins, FALSE) &&
            ::SetSecurityDescriptorDacl(&m_descriptor, TRUE, reinterpret_cast<PACL>(m_acl), FALSE) &&
            ::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    ~ProtectedSecurity() {
        if (m_system) ::FreeSid(m_system);
        if (m_admins) ::FreeSid(m_admins);
    }
    ProtectedSecurity(const ProtectedSecurity&) = delete;
    ProtectedSecurity& operator=(const ProtectedSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() {
        m_attributes = {sizeof m_attributes, &m_descriptor, FALSE};
        return m_ready ? &m_attributes : nullptr;
    }

private:
    PSID m_system = nullptr;
    PSID m_admins = nullptr;
    DWORD m_acl[64] = {};  // room for the header and two entries with their SIDs, DWORD-aligned as ACLs must be
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
    bool m_ready = false;
};

bool PlainAscii(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c < 0x20 || c >= 0x80) return false;
    }
    return true;
}
}  // namespace

// The system's own Windows folder (not a terminal server user's private one), which the setup, an ANSI program,
// can name in every code page only when it is plain ASCII, as Windows installs it.
bool MakeProtectedFolder(const CSystemCrypto& crypto, std::wstring* folder, FolderFailure* failure, DWORD* error) {
    *failure = FolderFailure::Other;
    wchar_t windows[MAX_PATH] = L"";
    UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        *error = ::GetLastError();
        return false;
    }
    std::wstring temp = std::wstring(windows) + (windows[length - 1] == L'\\' ? L"Temp" : L"\\Temp");
    *folder = temp;  // named in a failure's message
    DWORD attributes = ::GetFileAttributesW(temp.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !PlainAscii(temp)) {
        *failure = FolderFailure::NoTempFolder;
        *error = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_PATH_NOT_FOUND;
        return false;
    }
    ProtectedSecurity security;
    if (!security.Attributes()) {
        *error = ::GetLastError();
        return false;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        BYTE random[kRandomBytes] = {};
        if (!crypto.Random(random, kRandomBytes)) {
            *error = ::GetLastError();
            return false;
        }
        std::wstring name = temp + L"\\kelvo-";
        for (BYTE byte : random) {
            name += L"0123456789abcdef"[byte >> 4];
            name += L"0123456789abcdef"[byte & 15];
        }
        if (::CreateDirectoryW(name.c_str(), security.Attributes())) {
            *folder = name;
            *failure = FolderFailure::None;
            return true;
        }
        *error = ::GetLastError();
        if (*error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            bool removed;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                // A child may have made a file read-only.
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                removed = ::DeleteFileW(path.c_str());
            } else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveFolder(path);
                continue;
            } else {
                removed = ::RemoveDirectoryW(path.c_str());  // a link a child made goes, not what it points to
            }
            if (!removed) ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    // Listed after its files, so that the restart removes them first and then the emptied folder.
    if (!::RemoveDirectoryW(folder.c_str())) ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
