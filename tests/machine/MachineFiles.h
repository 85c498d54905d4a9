// The test programs' access to files on the machine, shared by the end-to-end bench and the Windows test kit.
#pragma once

#include <string>

namespace machine {

// This program's folder, where the programs and files that go with it lie beside it.
std::string ProgramFolder();
// The whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Deletes the folder and everything in it, read-only files included; a missing folder is no error.
void RemoveTree(const std::string& path);

}  // namespace machine
