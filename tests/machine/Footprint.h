// What the end-to-end scenarios change on the machine they run on: the registry keys and values they lay out and
// the folders they make. The bench clears them around every scenario; the Windows test kit saves them before a run
// and puts them back after it.
#pragma once

#include <string>
#include <vector>

namespace machine {

// Whole keys below HKEY_LOCAL_MACHINE: the display's device keys, the driver's installation, the screen readers.
extern const char* const kTrees[6];

// Single values below HKEY_LOCAL_MACHINE in keys that belong to Windows.
struct Value {
    const char* key;
    const char* name;
};
extern const Value kValues[3];

// The folders on C: that the scenarios make and remove.
constexpr char kSandboxRoot[] = "C:\\kelvo-e2e";
constexpr char kWindowEyesRoot[] = "C:\\kelvo-e2e-we";
constexpr char kVistaRoot[] = "C:\\kelvo-e2e-vista";

// A name in the machine's ANSI code page: the Chinese one under code page 936 (a Chinese Windows), the plain one
// elsewhere.
std::string LocalName(const char* plain, const wchar_t* chinese);

// The registered owner of the Vista family's scenarios, and the profile folder the Dolphin update writes into.
std::string OwnerName();
std::string OwnerProfile();

// Every folder above, the owner's profile included.
std::vector<std::string> Folders();

}  // namespace machine
