// The test programs' access to files on the machine, shared by the end-to-end bench and the Windows test kit.
#pragma once

#include <string>

namespace machine {

// This program's folder, where the programs and files that go with it lie beside it.
std::wstring ProgramFolderWide();
// Its ANSI form: the short (8.3) path where the folder's name holds characters outside the ANSI code page; empty
// when even that cannot be named in it.
std::string ProgramFolder();
// The whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
std::string ReadFileBytes(const std::string& path);
// Clears the path of whatever lies there: a file, or a folder and everything in it, read-only ones included; a
// missing path is no error. A junction or symbolic link is removed as a link: what it points to is not the folder's.
void RemoveTree(const std::wstring& path);
void RemoveTree(const std::string& path);

// A folder that is a user's own profile on this machine (ProfileList), which no test may take for its own.
bool UserProfile(const std::string& folder);

}  // namespace machine
