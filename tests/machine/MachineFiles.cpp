// The test programs' access to files on the machine.
#include "MachineFiles.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "MachineRegistry.h"

namespace machine {

std::wstring ProgramFolderWide() {
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    // Long paths are cut to the buffer's size without an error on Windows 7: grown until the whole path fits.
    while ((length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size()) {
        path.resize(path.size() * 2);
    }
    std::wstring program(path.data(), length);
    return program.substr(0, program.rfind(L'\\'));
}

std::string ProgramFolder() {
    std::wstring folder = ProgramFolderWide();
    if (Wide(Ansi(folder)) == folder) return Ansi(folder);
    std::vector<wchar_t> shortPath(folder.size() + 1);
    DWORD length = ::GetShortPathNameW(folder.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    std::wstring shortFolder(shortPath.data(), length < shortPath.size() ? length : 0);
    return !shortFolder.empty() && Wide(Ansi(shortFolder)) == shortFolder ? Ansi(shortFolder) : "";
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

std::string ReadFileBytes(const std::string& path) { return ReadFileBytes(Wide(path)); }

void RemoveTree(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    // A read-only file or folder is not deleted until its attribute is cleared.
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A file where a folder is expected (a faulty build's leftover) goes too: a test that clears a path needs it free.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ::FindFirstFileW((path + L"\\*").c_str(), &found)
                                                                 : INVALID_HANDLE_VALUE;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    // A link to a folder goes with RemoveDirectory, which removes the link and leaves its target.
    ::RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path) { RemoveTree(Wide(path)); }

bool UserProfile(const std::string& folder) {
    const std::wstring list = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    HKEY handle = nullptr;
    if (OpenToRead(list, &handle) != ERROR_SUCCESS) return false;
    std::vector<std::wstring> users = Subkeys(handle);
    ::RegCloseKey(handle);
    for (const std::wstring& user : users) {
        wchar_t path[MAX_PATH] = L"", expanded[MAX_PATH] = L"";
        DWORD size = sizeof path - sizeof path[0];
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, (list + L"\\" + user).c_str(), L"ProfileImagePath",
                           RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, path,
                           &size) != ERROR_SUCCESS) {
            continue;
        }
        ::ExpandEnvironmentStringsW(path, expanded, MAX_PATH);
        if (_wcsicmp(expanded, Wide(folder).c_str()) == 0) return true;
    }
    return false;
}

}  // namespace machine
