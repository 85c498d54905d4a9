// The machine's own keys and values that the scenarios replace, saved to a file before a run and put back from it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "SaveFile.h"

namespace kit {

// The keys below `trees` (each whole, with every key's class and security) and the single `values` (key, name) as
// they are now. A missing tree is recorded from its first missing parent, which the scenarios' writes make too.
// False, naming the key in `failure`, when one cannot be read.
bool Capture(const std::vector<std::wstring>& trees, const std::vector<std::pair<std::wstring, std::wstring>>& values,
             Saved& saved, std::string& failure);
// Puts every record back, whatever fails on the way: trees deleted and made again, values set or deleted, each key's
// security last; the device keys after everything else. What could not be put back, one line each.
std::vector<std::string> PutBack(const Saved& saved);

// Captures what the scenarios replace into `saved` and `file`, flushed to the disk before it is moved into place,
// and read back.
bool SaveMachine(const std::wstring& file, Saved& saved, std::string& failure);
// The save read and checked whole; false, saying why, when it cannot be read or is damaged.
bool ReadMachineSave(const std::wstring& file, Saved& saved, std::string& failure);
// Puts the machine back from `saved` and removes the scenarios' folders; when all went back, deletes `file`. What
// could not be put back (the save's deletion included), one line each.
std::vector<std::string> RestoreMachine(const Saved& saved, const std::wstring& file);

}  // namespace kit
