// The machine's own keys and values that the scenarios replace, saved to a file before a run and put back from it.
// Windows' own RegSaveKey/RegRestoreKey would do it too, but Wine's RegRestoreKey restores nothing: the keys, their
// security and values are recorded here and written back, so that the same code is proved here and runs there.
#include "MachineSave.h"

#include <windows.h>

#include "Footprint.h"
#include "MachineFiles.h"
#include "MachineRegistry.h"

namespace kit {

namespace {
constexpr SECURITY_INFORMATION kSecurity =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

std::string Named(const std::wstring& key) { return "HKEY_LOCAL_MACHINE\\" + machine::Ansi(key); }

std::string Status(LONG status) { return " (error " + std::to_string(status) + ")"; }

std::wstring Parent(const std::wstring& key) {
    std::size_t last = key.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : key.substr(0, last);
}

bool Missing(const std::wstring& key) {
    HKEY handle = nullptr;
    LONG status = machine::OpenToRead(key, &handle);
    if (status == ERROR_SUCCESS) ::RegCloseKey(handle);
    return status == ERROR_FILE_NOT_FOUND;
}

bool ReadKey(HKEY handle, SavedKey& key, std::vector<SavedValue>& values) {
    wchar_t keyClass[1024];
    DWORD classLength = sizeof keyClass / sizeof keyClass[0], count = 0, nameMax = 0, dataMax = 0;
    if (::RegQueryInfoKeyW(handle, keyClass, &classLength, nullptr, nullptr, nullptr, nullptr, &count, &nameMax,
                           &dataMax, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    key.keyClass.assign(keyClass, classLength);
    DWORD size = 0;
    if (::RegGetKeySecurity(handle, kSecurity, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER) return false;
    key.security.resize(size);
    if (::RegGetKeySecurity(handle, kSecurity, &key.security[0], &size) != ERROR_SUCCESS) return false;
    key.security.resize(size);
    std::vector<wchar_t> name(nameMax + 1);
    std::vector<BYTE> data(dataMax + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size());
        SavedValue value;
        value.key = key.path;
        value.exists = true;
        if (::RegEnumValueW(handle, index, name.data(), &nameLength, nullptr, reinterpret_cast<DWORD*>(&value.type),
                            data.data(), &dataLength) != ERROR_SUCCESS) {
            return false;
        }
        value.name.assign(name.data(), nameLength);
        value.data.assign(reinterpret_cast<char*>(data.data()), dataLength);
        values.push_back(value);
    }
    return true;
}

// A key and everything below it, parents before children.
bool CaptureTree(const std::wstring& path, Saved& saved, std::string& failure) {
    HKEY handle = nullptr;
    LONG status = machine::OpenToRead(path, &handle);
    SavedKey key;
    key.path = path;
    bool read = status == ERROR_SUCCESS && ReadKey(handle, key, saved.values);
    std::vector<std::wstring> children = read ? machine::Subkeys(handle) : std::vector<std::wstring>();
    if (handle) ::RegCloseKey(handle);
    if (!read) {
        failure = "cannot read " + Named(path) + Status(status);
        return false;
    }
    saved.keys.push_back(key);
    for (const std::wstring& child : children) {
        if (!CaptureTree(path + L"\\" + child, saved, failure)) return false;
    }
    return true;
}

bool CaptureValue(const std::wstring& key, const std::wstring& name, Saved& saved, std::string& failure) {
    SavedValue value;
    value.key = key;
    value.name = name;
    HKEY handle = nullptr;
    LONG status = machine::OpenToRead(key, &handle);
    DWORD size = 0;
    if (status == ERROR_SUCCESS) {
        status = ::RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, &size);
        value.data.resize(size);
        if (status == ERROR_SUCCESS) {
            status = ::RegQueryValueExW(handle, name.c_str(), nullptr, reinterpret_cast<DWORD*>(&value.type),
                                        reinterpret_cast<BYTE*>(&value.data[0]), &size);
        }
        value.data.resize(size);
        ::RegCloseKey(handle);
    }
    value.exists = status == ERROR_SUCCESS;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        failure = "cannot read " + Named(key) + "\\" + machine::Ansi(name) + Status(status);
        return false;
    }
    saved.values.push_back(value);
    return true;
}

// Windows adds a terminator to a text value whose data has none when the character after the data is one: the data is
// followed by one that is not, so that the value comes back byte for byte, as it was.
bool SetValue(const SavedValue& value) {
    HKEY handle = nullptr;
    if (machine::CreateToWrite(value.key, &handle) != ERROR_SUCCESS) return false;
    std::string data = value.data + "\xff\xff";
    LONG status = ::RegSetValueExW(handle, value.name.c_str(), 0, value.type,
                                   reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(value.data.size()));
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

bool SetSecurity(const SavedKey& key) {
    std::string security = key.security;
    return machine::SetKeySecurity(key.path, &security[0]) == ERROR_SUCCESS;
}

// The records of the device keys, or of all others: the device keys go back last, so that a failure there leaves
// everything else already put back.
void PutBackPart(const Saved& saved, bool devices, std::vector<std::string>& failures) {
    for (const std::wstring& tree : saved.trees) {
        if (machine::BelowEnum(tree) == devices && !machine::DeleteTree(tree)) {
            failures.push_back("could not delete " + Named(tree) + " to put it back as it was");
        }
    }
    for (const SavedKey& key : saved.keys) {
        HKEY handle = nullptr;
        if (machine::BelowEnum(key.path) != devices) continue;
        LONG status = machine::CreateToWrite(key.path, &handle, key.keyClass);
        if (status == ERROR_SUCCESS) {
            ::RegCloseKey(handle);
        } else {
            failures.push_back("could not make " + Named(key.path) + Status(status));
        }
    }
    for (const SavedValue& value : saved.values) {
        if (machine::BelowEnum(value.key) != devices) continue;
        if (!(value.exists ? SetValue(value) : machine::DeleteValue(value.key, value.name))) {
            failures.push_back("could not put back the value " + Named(value.key) + "\\" + machine::Ansi(value.name));
        }
    }
    // Children first: a parent's own security may keep out what is still to be done below it.
    for (auto key = saved.keys.rbegin(); key != saved.keys.rend(); ++key) {
        if (machine::BelowEnum(key->path) == devices && !key->security.empty() && !SetSecurity(*key)) {
            failures.push_back("could not put back the security of " + Named(key->path));
        }
    }
}

bool WriteDurably(const std::wstring& file, const std::string& text) {
    std::wstring partial = file + L".partial";
    HANDLE handle =
        ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size() && ::FlushFileBuffers(handle);
    ::CloseHandle(handle);
    // Moved into place only once on the disk: a power cut leaves the old file or the whole new one.
    return ok && ::MoveFileExW(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
           machine::ReadFileBytes(file) == text;
}
}  // namespace

bool Capture(const std::vector<std::wstring>& trees, const std::vector<std::pair<std::wstring, std::wstring>>& values,
             Saved& saved, std::string& failure) {
    saved = Saved();
    for (const std::wstring& tree : trees) {
        HKEY handle = nullptr;
        LONG status = machine::OpenToRead(tree, &handle);
        if (status == ERROR_SUCCESS) ::RegCloseKey(handle);
        if (status != ERROR_FILE_NOT_FOUND) {
            saved.trees.push_back(tree);
            if (!CaptureTree(tree, saved, failure)) return false;
            continue;
        }
        // 32-bit Windows has no Wow6432Node: a write through the 64-bit view makes it there, and it goes again.
        std::wstring missing = tree;
        while (!Parent(Parent(missing)).empty() && Missing(Parent(missing))) missing = Parent(missing);
        saved.trees.push_back(missing);
    }
    for (const auto& value : values) {
        if (!CaptureValue(value.first, value.second, saved, failure)) return false;
    }
    return true;
}

std::vector<std::string> PutBack(const Saved& saved) {
    std::vector<std::string> failures;
    PutBackPart(saved, false, failures);
    PutBackPart(saved, true, failures);
    return failures;
}

bool SaveMachine(const std::wstring& file, Saved& saved, std::string& failure) {
    std::vector<std::wstring> trees;
    for (const char* tree : machine::kTrees) trees.push_back(machine::Wide(tree));
    std::vector<std::pair<std::wstring, std::wstring>> values;
    for (const machine::Value& value : machine::kValues) {
        values.emplace_back(machine::Wide(value.key), machine::Wide(value.name));
    }
    if (!Capture(trees, values, saved, failure)) return false;
    if (WriteDurably(file, WriteSave(saved))) return true;
    failure = "cannot write " + machine::Ansi(file) + Status(static_cast<LONG>(::GetLastError()));
    return false;
}

bool ReadMachineSave(const std::wstring& file, Saved& saved, std::string& failure) {
    std::string why;
    if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        failure = "cannot read " + machine::Ansi(file);
        return false;
    }
    if (ReadSave(machine::ReadFileBytes(file), saved, why)) return true;
    failure = machine::Ansi(file) + " is damaged: " + why;
    return false;
}

std::vector<std::string> RestoreMachine(const Saved& saved, const std::wstring& file) {
    std::vector<std::string> failures = PutBack(saved);
    for (const std::string& folder : machine::Folders()) {
        if (machine::UserProfile(folder)) continue;
        machine::RemoveTree(folder);
        if (::GetFileAttributesW(machine::Wide(folder).c_str()) != INVALID_FILE_ATTRIBUTES) {
            failures.push_back("could not remove " + folder);
        }
    }
    if (failures.empty() && !::DeleteFileW(file.c_str())) {
        failures.push_back("could not delete " + machine::Ansi(file) + ": the next run would put it back again");
    }
    return failures;
}

}  // namespace kit
