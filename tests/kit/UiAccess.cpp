// Whether this PC's Window-Eyes can read the elevated setup at all: what the manifests of its programs request.
//
// The setup runs elevated (its manifest, and installer detection before it). A screen reader can read and follow an
// elevated program's windows only where its own program runs elevated or carries uiAccess="true" in its manifest
// (Microsoft, UI Automation security overview; Windows grants uiAccess only to a signed program in a secure folder
// such as Program Files). No machine here runs a real Window-Eyes, so the tester's report answers it.
#include "UiAccess.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "MachineRegistry.h"

namespace kit {

namespace {
constexpr wchar_t kWindowEyesKey[] = L"SOFTWARE\\GW Micro, Inc.\\Window-Eyes\\Professional";

bool SameFolder(const std::wstring& one, const std::wstring& other) {
    return _wcsicmp(one.c_str(), other.c_str()) == 0;
}

// Window-Eyes' Path in the 32-bit view, where its 32-bit installer writes it on 64-bit Windows, and in the 64-bit
// view; on 32-bit Windows both reads meet the one key.
std::vector<std::wstring> RegisteredFolders() {
    std::vector<std::wstring> folders;
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWindowEyesKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t path[MAX_PATH * 2] = L"";
        DWORD size = sizeof path - sizeof path[0];
        DWORD type = 0;
        LONG status = ::RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
        ::RegCloseKey(key);
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        path[size / sizeof path[0]] = L'\0';
        std::wstring folder = path;
        if (type == REG_EXPAND_SZ) {
            wchar_t expanded[MAX_PATH * 2] = L"";
            DWORD length = ::ExpandEnvironmentStringsW(path, expanded, MAX_PATH * 2);
            if (length > 0 && length <= MAX_PATH * 2) folder = expanded;
        }
        while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
        bool known = false;
        for (const std::wstring& other : folders) known = known || SameFolder(folder, other);
        if (!folder.empty() && !known) folders.push_back(folder);
    }
    return folders;
}

// The programs (*.exe) in `folder`, by name. FindFirstFile's "*.exe" also meets a longer extension through its
// short name ("a.exe1"): the name is checked again.
std::vector<std::wstring> Programs(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 4 &&
            _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0) {
            names.push_back(name);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& one, const std::wstring& other) {
        return _wcsicmp(one.c_str(), other.c_str()) < 0;
    });
    return names;
}

// The program's own manifest (type 24, id 1), read as data: nothing of the program runs. UTF-16 ones as UTF-8.
bool ReadManifest(const std::wstring& program, std::string& manifest, DWORD& error) {
    HMODULE module =
        ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        error = ::GetLastError();
        return false;
    }
    manifest.clear();
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (bytes) manifest.assign(bytes, ::SizeofResource(module, resource));
    ::FreeLibrary(module);
    if (manifest.size() >= 2 && manifest[0] == '\xFF' && manifest[1] == '\xFE') {
        std::wstring wide(reinterpret_cast<const wchar_t*>(manifest.data() + 2), (manifest.size() - 2) / 2);
        manifest = machine::Utf8(wide);
    }
    return true;
}

// The value of the attribute `name` anywhere in the manifest (name="value", blanks around = allowed); "" when none.
std::string Attribute(const std::string& xml, const std::string& name) {
    for (std::size_t at = xml.find(name); at != std::string::npos; at = xml.find(name, at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(xml[at - 1]))) continue;
        std::size_t next = xml.find_first_not_of(" \t\r\n", at + name.size());
        if (next == std::string::npos || xml[next] != '=') continue;
        std::size_t quote = xml.find_first_not_of(" \t\r\n", next + 1);
        if (quote == std::string::npos || (xml[quote] != '"' && xml[quote] != '\'')) continue;
        std::size_t end = xml.find(xml[quote], quote + 1);
        if (end != std::string::npos) return xml.substr(quote + 1, end - quote - 1);
    }
    return "";
}

// "  WinEyes.exe: uiAccess="true", level="asInvoker"", and whether it asks for uiAccess.
std::string DescribeProgram(const std::wstring& folder, const std::wstring& name, bool& requests) {
    std::string manifest;
    DWORD error = 0;
    std::string line = "  " + machine::Ansi(name) + ": ";
    requests = false;
    if (!ReadManifest(folder + L"\\" + name, manifest, error)) {
        return line + "cannot be read as a program (error " + std::to_string(error) + ")";
    }
    if (manifest.empty()) return line + "no manifest: no uiAccess";
    std::string uiAccess = Attribute(manifest, "uiAccess");
    std::string level = Attribute(manifest, "level");
    requests = uiAccess == "true";
    line += uiAccess.empty() ? "no uiAccess in its manifest" : "uiAccess=\"" + uiAccess + "\"";
    return level.empty() ? line : line + ", level=\"" + level + "\"";
}
}  // namespace

std::vector<std::string> DescribeWindowEyesAccess() {
    std::vector<std::string> lines;
    std::vector<std::wstring> folders = RegisteredFolders();
    if (folders.empty()) lines.push_back("Screen reader: no Window-Eyes installed");
    for (const std::wstring& folder : folders) {
        std::string where = "Screen reader: Window-Eyes in " + machine::Ansi(folder) + " (its registry Path)";
        DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            lines.push_back(where + ": no such folder");
            continue;
        }
        std::vector<std::wstring> programs = Programs(folder);
        std::vector<std::string> described;
        int requesting = 0;
        for (const std::wstring& name : programs) {
            bool requests = false;
            described.push_back(DescribeProgram(folder, name, requests));
            requesting += requests ? 1 : 0;
        }
        lines.push_back(where + ": " + std::to_string(requesting) + " of " + std::to_string(programs.size()) +
                        " programs request uiAccess=\"true\"");
        lines.insert(lines.end(), described.begin(), described.end());
    }
    return lines;
}

}  // namespace kit
