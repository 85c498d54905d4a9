// The text of the kit's save: the machine's keys and values as they were before a run.
// It is written whole, and read back only when it is whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kit {

struct SavedKey {
    std::wstring path;      // below HKEY_LOCAL_MACHINE
    std::wstring keyClass;  // the class it was made with, mostly empty
    std::string security;   // its owner, group and DACL: a self-relative security descriptor
};

struct SavedValue {
    std::wstring key;
    std::wstring name;       // empty for the key's default value
    bool exists = false;     // a value that did not exist is deleted on put back
    std::uint32_t type = 0;  // REG_SZ, REG_BINARY, ...
    std::string data;        // as stored, whatever its type
};

struct Saved {
    std::vector<std::wstring> trees;  // deleted whole before their keys are made again; also the ones that were missing
    std::vector<SavedKey> keys;       // parents before children
    std::vector<SavedValue> values;
};

// One line a record, names and data in hex, closed by an end line with the count of lines and their checksum.
std::string WriteSave(const Saved& saved);
// The whole text checked (end line, count, checksum, every line's fields) before anything is taken from it. False,
// saying why in `why`, when it is damaged or cut short.
bool ReadSave(const std::string& text, Saved& saved, std::string& why);

}  // namespace kit
