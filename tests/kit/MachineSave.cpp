// The machine's own keys and values that the scenarios replace, saved to a file before a run and put back from it.
// Windows' own RegSaveKey/RegRestoreKey would keep the keys' security too, but Wine's RegRestoreKey restores nothing:
// the keys and values are recorded here and written back, so that the same code is proved here and runs there.
#include "MachineSave.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "Footprint.h"
#include "MachineFiles.h"
#include "MachineRegistry.h"

namespace kit {

namespace {
// Every field is written in hex: names and data hold any byte, in the machine's code page.
std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex = "x";  // never empty, so that a line splits into its fields at blanks
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string Unhex(const std::string& hex) {
    std::string bytes;
    for (std::size_t at = 1; at + 1 < hex.size(); at += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
    }
    return bytes;
}

// Key paths and value names go into the file as their UTF-16 bytes: the wide calls meet every name exactly.
std::string HexWide(const std::wstring& text) {
    return Hex(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

std::wstring UnhexWide(const std::string& hex) {
    std::string bytes = Unhex(hex);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

struct Values {
    bool ok = true;
    std::vector<std::string> lines;  // "name type data", hex fields
};

// The values of an open key, each as one line of the file; the data as stored, whatever its type.
Values ReadValues(HKEY handle) {
    Values values;
    DWORD count = 0, nameMax = 0, dataMax = 0;
    if (::RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &nameMax, &dataMax,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        values.ok = false;
        return values;
    }
    std::vector<wchar_t> name(nameMax + 1);
    std::vector<BYTE> data(dataMax + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueW(handle, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength) !=
            ERROR_SUCCESS) {
            values.ok = false;
            continue;
        }
        values.lines.push_back(HexWide(std::wstring(name.data(), nameLength)) + " " + std::to_string(type) + " " +
                               Hex(std::string(reinterpret_cast<char*>(data.data()), dataLength)));
    }
    return values;
}

// A key and everything below it, parents before children.
bool SaveTree(const std::wstring& key, std::ostream& out) {
    HKEY handle = nullptr;
    if (machine::OpenToRead(key, &handle) != ERROR_SUCCESS) return false;
    out << "key " << HexWide(key) << "\n";
    Values values = ReadValues(handle);
    for (const std::string& line : values.lines) out << "value " << HexWide(key) << " " << line << "\n";
    std::vector<std::wstring> children = machine::Subkeys(handle);
    ::RegCloseKey(handle);
    bool ok = values.ok;
    for (const std::wstring& child : children) ok = SaveTree(key + L"\\" + child, out) && ok;
    return ok;
}

bool SaveValue(const machine::Value& value, std::ostream& out) {
    std::wstring key = machine::Wide(value.key), name = machine::Wide(value.name);
    HKEY handle = nullptr;
    DWORD type = 0, size = 0;
    std::string data;
    bool exists = machine::OpenToRead(key, &handle) == ERROR_SUCCESS &&
                  ::RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (exists) {
        data.resize(size);
        exists = ::RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) ==
                 ERROR_SUCCESS;
        data.resize(size);
    }
    if (handle) ::RegCloseKey(handle);
    out << (exists ? "value " : "novalue ") << HexWide(key) << " " << HexWide(name) << " " << type << " " << Hex(data)
        << "\n";
    return true;
}

bool SetValue(const std::wstring& key, const std::wstring& name, DWORD type, const std::string& data) {
    HKEY handle = nullptr;
    if (machine::CreateToWrite(key, &handle) != ERROR_SUCCESS) return false;
    LONG status = ::RegSetValueExW(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size()));
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

}  // namespace

bool SaveMachine(const std::string& file) {
    std::ostringstream out;
    bool ok = true;
    for (const char* tree : machine::kTrees) {
        std::wstring key = machine::Wide(tree);
        HKEY handle = nullptr;
        bool exists = machine::OpenToRead(key, &handle) == ERROR_SUCCESS;
        if (exists) ::RegCloseKey(handle);
        out << "tree " << HexWide(key) << "\n";
        if (exists) ok = SaveTree(key, out) && ok;
    }
    for (const machine::Value& value : machine::kValues) ok = SaveValue(value, out) && ok;
    if (!ok) return false;
    // Written beside and moved into place: a run killed while saving leaves no half a save to restore from.
    std::string partial = file + ".partial";
    {
        std::ofstream written(partial, std::ios::binary | std::ios::trunc);
        written << out.str();
        if (!written.good()) return false;
    }
    return ::MoveFileExA(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool RestoreMachine(const std::string& file, std::string& failure) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        failure = "cannot read " + file;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind, hexKey, hexName, data;
        DWORD type = 0;
        fields >> kind >> hexKey;
        std::wstring key = UnhexWide(hexKey);
        bool ok = true;
        if (kind == "tree") {
            ok = machine::DeleteTree(key);
        } else if (kind == "key") {
            HKEY handle = nullptr;
            ok = machine::CreateToWrite(key, &handle) == ERROR_SUCCESS;
            if (ok) ::RegCloseKey(handle);
        } else if (kind == "value" && fields >> hexName >> type >> data) {
            ok = SetValue(key, UnhexWide(hexName), type, Unhex(data));
        } else if (kind == "novalue" && fields >> hexName) {
            ok = machine::DeleteValue(key, UnhexWide(hexName));
        } else {
            failure = file + " is damaged: " + line;
            return false;
        }
        if (!ok) {
            failure = "could not put back HKEY_LOCAL_MACHINE\\" + machine::Ansi(key);
            return false;
        }
    }
    for (const std::string& folder : machine::Folders()) machine::RemoveTree(folder);
    for (const std::string& folder : machine::Folders()) {
        if (::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
            failure = "could not remove " + folder;
            return false;
        }
    }
    return true;
}

}  // namespace kit
