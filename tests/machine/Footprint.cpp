// What the end-to-end scenarios change on the machine they run on.
#include "Footprint.h"

#include "MachineRegistry.h"

#include <windows.h>

namespace machine {

const char* const kTrees[6] = {
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60",
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00",
    "SOFTWARE\\Silicon Laboratories, Inc.",
    "SOFTWARE\\GW Micro, Inc.",
    "SOFTWARE\\Dolphin",
    "SOFTWARE\\Wow6432Node\\Dolphin",
};

const Value kValues[3] = {
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProductName"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner"},
};

std::string LocalName(const char* plain, const wchar_t* chinese) { return ::GetACP() == 936 ? Ansi(chinese) : plain; }

std::string OwnerName() { return LocalName("kelvo-owner", L"张伟"); }
std::string OwnerProfile() { return "C:\\Users\\" + OwnerName(); }

std::vector<std::string> Folders() { return {kSandboxRoot, kWindowEyesRoot, kVistaRoot, OwnerProfile()}; }

}  // namespace machine
