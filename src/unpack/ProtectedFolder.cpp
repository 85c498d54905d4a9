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
//
// What the temporary folder may not be trusted for: it may be a junction to a disk that keeps no permissions (FAT,
// exFAT), where the security descriptor is dropped without a word; so its disk must keep them (FILE_PERSISTENT_ACLS),
// asked of the folder itself, past any junction. And someone may have given Users full control of it (common advice
// for an MSI error): then a program of the user may rename the new folder away (deleting or renaming an entry needs
// DELETE on it or FILE_DELETE_CHILD on its parent) and put its own in its place. A handle opened with read access and
// without FILE_SHARE_DELETE makes every later open for DELETE fail with a sharing violation, and a rename or delete
// needs such an open: the folder is made with that handle (NtCreateFile, so that no moment passes between its
// creation and the handle) and held until the setup's tree has ended.
#include "unpack/ProtectedFolder.h"

#include <winternl.h>

namespace {
constexpr int kAttempts = 16;
constexpr DWORD kRandomBytes = 16;  // 128 bits: a name no one guesses or meets by chance
constexpr UINT kRoomBelow = 64;     // the longest path of a shipped file is half that
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);  // STATUS_OBJECT_NAME_COLLISION

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

bool PlainAscii(const wchar_t* text) {
    for (; *text; ++text) {
        if (*text < 0x20 || *text >= 0x80) return false;
    }
    return true;
}

// ntdll's file functions: documented in winternl.h and the driver kit, present on every Windows NT, and already in
// every process; looked up, so that the program imports nothing more.
struct Ntdll {
    using CreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                          ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
    using QueryVolumeFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FS_INFORMATION_CLASS);
    using ErrorFn = ULONG(NTAPI*)(NTSTATUS);
    CreateFileFn createFile;
    QueryVolumeFn queryVolume;
    ErrorFn error;

    Ntdll() {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        createFile = reinterpret_cast<CreateFileFn>(Function(ntdll, "NtCreateFile"));
        queryVolume = reinterpret_cast<QueryVolumeFn>(Function(ntdll, "NtQueryVolumeInformationFile"));
        error = reinterpret_cast<ErrorFn>(Function(ntdll, "RtlNtStatusToDosError"));
    }
    bool Ready() const { return createFile && queryVolume && error; }
    static void* Function(HMODULE module, const char* name) {
        return module ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
    }
};

// Whether the disk that holds the opened folder keeps permissions: asked of the handle, so a junction has been
// followed to the disk it leads to.
bool KeepsPermissions(const Ntdll& ntdll, HANDLE folder, DWORD* error) {
    union {
        FILE_FS_ATTRIBUTE_INFORMATION info;
        BYTE bytes[sizeof(FILE_FS_ATTRIBUTE_INFORMATION) + 64 * sizeof(WCHAR)];
    } volume{};
    IO_STATUS_BLOCK status{};
    NTSTATUS result = ntdll.queryVolume(folder, &status, &volume, sizeof volume, FileFsAttributeInformation);
    // The file system's name may not fit; the attributes before it are given all the same.
    if (result < 0 && result != static_cast<NTSTATUS>(0x80000005L)) {  // STATUS_BUFFER_OVERFLOW
        *error = ntdll.error(result);
        return false;
    }
    *error = ERROR_SUCCESS;
    return (volume.info.FileSystemAttributes & FILE_PERSISTENT_ACLS) != 0;
}
}  // namespace

// The system's own Windows folder (not a terminal server user's private one), which the setup, an ANSI program,
// can name in every code page only when it is plain ASCII, as Windows installs it.
bool MakeProtectedFolder(const CSystemCrypto& crypto, UnpackFolder* folder, FolderFailure* failure, DWORD* error) {
    *failure = FolderFailure::Other;
    wchar_t* path = folder->path;
    UINT length = ::GetSystemWindowsDirectoryW(path, MAX_PATH);
    // "\Temp", "\kelvo-" and the digits, and room for the paths of the files below it.
    const UINT kRoom = 5 + 1 + 6 + 2 * kRandomBytes + kRoomBelow;
    if (length == 0 || length + kRoom >= MAX_PATH) {
        *error = length == 0 ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    ::lstrcpyW(path + length, path[length - 1] == L'\\' ? L"Temp" : L"\\Temp");
    length = ::lstrlenW(path);
    DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !PlainAscii(path)) {
        *failure = FolderFailure::NoTempFolder;
        *error = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_PATH_NOT_FOUND;
        return false;
    }
    Ntdll ntdll;
    ProtectedSecurity security;
    if (!ntdll.Ready() || !security.Attributes()) {
        *error = ntdll.Ready() ? ::GetLastError() : ERROR_PROC_NOT_FOUND;
        return false;
    }
    // The new folder is made in this very folder, by its handle: the disk asked is the disk written to.
    HANDLE temp = ::CreateFileW(path, FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (temp == INVALID_HANDLE_VALUE) {
        *error = ::GetLastError();
        return false;
    }
    bool made = false;
    if (!KeepsPermissions(ntdll, temp, error)) {
        if (*error == ERROR_SUCCESS) {
            *failure = FolderFailure::NoPermissions;
            *error = ERROR_NOT_SUPPORTED;
        }
    } else {
        for (int attempt = 0; attempt < kAttempts && !made; ++attempt) {
            BYTE random[kRandomBytes] = {};
            if (!crypto.Random(random, kRandomBytes)) {
                *error = ::GetLastError();
                break;
            }
            wchar_t* name = path + length;
            ::lstrcpyW(name, L"\\kelvo-");
            wchar_t* digit = name + 7;
            for (BYTE byte : random) {
                *digit++ = L"0123456789abcdef"[byte >> 4];
                *digit++ = L"0123456789abcdef"[byte & 15];
            }
            *digit = L'\0';
            UNICODE_STRING relative{static_cast<USHORT>((digit - name - 1) * sizeof(wchar_t)),
                                    static_cast<USHORT>((digit - name) * sizeof(wchar_t)), name + 1};
            OBJECT_ATTRIBUTES object{
                sizeof object, temp, &relative, OBJ_CASE_INSENSITIVE, security.Attributes()->lpSecurityDescriptor,
                nullptr};
            IO_STATUS_BLOCK status{};
            // Read access, so that the share mode counts; no FILE_SHARE_DELETE: no one may delete or rename it.
            NTSTATUS result =
                ntdll.createFile(&folder->held, FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE, &object, &status,
                                 nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                                 FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
            if (result >= 0) {
                made = true;
            } else {
                folder->held = INVALID_HANDLE_VALUE;
                *error = ntdll.error(result);
                if (result != kNameCollision) break;  // a name that exists: another is drawn
                path[length] = L'\0';
            }
        }
    }
    ::CloseHandle(temp);
    if (!made) {
        path[length] = L'\0';  // the temporary folder, named in the message
        return false;
    }
    *failure = FolderFailure::None;
    return true;
}

namespace {
// Everything below `path` (a buffer of MAX_PATH), removed; what a process still holds is listed for the restart.
void RemoveBelow(wchar_t* path) {
    int length = ::lstrlenW(path);
    if (length + 2 >= MAX_PATH) return;
    ::lstrcpyW(path + length, L"\\*");
    WIN32_FIND_DATAW entry;
    HANDLE find = ::FindFirstFileW(path, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        path[length] = L'\0';
        return;
    }
    do {
        const wchar_t* name = entry.cFileName;
        if ((name[0] == L'.' && !name[1]) || (name[0] == L'.' && name[1] == L'.' && !name[2])) continue;
        if (length + 1 + ::lstrlenW(name) >= MAX_PATH) continue;
        ::lstrcpyW(path + length + 1, name);
        bool removed;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // A child may have made a file read-only.
            ::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
            removed = ::DeleteFileW(path);
        } else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            RemoveBelow(path);
            removed = ::RemoveDirectoryW(path);
        } else {
            removed = ::RemoveDirectoryW(path);  // a link a child made goes, not what it points to
        }
        // Listed after its files, so that the restart removes them first and then the emptied folder.
        if (!removed) ::MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    path[length] = L'\0';
}
}  // namespace

// The contents go while the folder is still held, so that its path still leads to it and to nothing put in its
// place; only the emptied folder is removed after the handle is closed.
void RemoveFolder(UnpackFolder* folder) {
    RemoveBelow(folder->path);
    if (folder->held != INVALID_HANDLE_VALUE) ::CloseHandle(folder->held);
    folder->held = INVALID_HANDLE_VALUE;
    if (!::RemoveDirectoryW(folder->path)) ::MoveFileExW(folder->path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
