// What the end-to-end scenarios change on the machine they run on.
#include "Footprint.h"

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

std::string LocalName(const char* plain, const wchar_t* chinese) {
    if (::GetACP() != 936) return plain;
    int size = ::WideCharToMultiByte(CP_ACP, 0, chinese, -1, nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, chinese, -1, &name[0], size, nullptr, nullptr);
    name.resize(static_cast<std::size_t>(size - 1));
    return name;
}

std::string OwnerName() { return LocalName("kelvo-owner", L"张伟"); }
std::string OwnerProfile() { return "C:\\Users\\" + OwnerName(); }

std::vector<std::string> Folders() { return {kSandboxRoot, kWindowEyesRoot, kVistaRoot, OwnerProfile()}; }

}  // namespace machine
