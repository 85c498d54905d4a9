// The machine's own keys and values that the scenarios replace, saved to a file before a run and put back from it.
#pragma once

#include <string>

namespace kit {

// Records every key and value of the footprint (including the ones that do not exist) into `file`, which appears
// whole or not at all. False when something could not be read or the file not written.
bool SaveMachine(const std::string& file);
// Puts the machine back exactly as `file` recorded it: keys the run made are deleted, values it added removed. The
// scenarios' folders are removed. False, naming what failed in `failure`, when anything could not be put back.
bool RestoreMachine(const std::string& file, std::string& failure);

}  // namespace kit
