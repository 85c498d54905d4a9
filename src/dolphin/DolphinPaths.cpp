// The Dolphin update's text rules: plain concatenation and first-occurrence cuts, no separator added or removed.
#include "dolphin/DolphinPaths.h"

namespace dolphin {

namespace {
constexpr char kDolphinWord[] = "Dolphin";
constexpr char kHalWord[] = "Hal";
// Both cuts keep seven characters from the start of the word found: all of "Dolphin", or "Hal" and four more.
constexpr std::size_t kCutLength = 7;
// Of the Hal cut only the end counts: a backslash, "Hal" and four characters.
constexpr std::size_t kHalFolderLength = 8;

// Not in numeric order: 1002 first, then 1101, then 1003.
constexpr const char* kNtSettingsFiles[] = {
    "\\Hal1002\\Settings\\Kelvo.bk1",
    "\\Hal1101\\Settings\\Kelvo.bk1",
    "\\Hal1003\\Settings\\Kelvo.bk1",
};

// The drive and the Users folder are fixed: the owner's name stands for the profile folder.
constexpr char kVistaUsersFolder[] = "C:\\Users\\";
constexpr char kVistaUserDataFolder[] = "\\AppData\\Local\\dolphin";
constexpr char kVistaSettingsFile[] = "\\Settings\\Kelvo.bk1";
}  // namespace

// The destination names keep the letter case that Dolphin's own files have.
const DriverFile kDriverFiles[kDriverFileCount] = {
    {"%s%supdatedolphin\\kelvo\\kelvo00001.ini", {"kelvo00001.ini", "\\kelvo00001.ini"}, {"D11", "D21"}},
    {"%s%supdatedolphin\\kelvo\\kelvo00039.INI", {"kelvo00039.INI", "\\kelvo00039.INI"}, {"D12", "D22"}},
    {"%s%supdatedolphin\\kelvo\\kelvo00044.ini", {"kelvo00044.ini", "\\kelvo00044.ini"}, {"D13", "D23"}},
    {"%s%supdatedolphin\\kelvo\\kelvo00052.ini", {"kelvo00052.ini", "\\kelvo00052.ini"}, {"D14", "D24"}},
    {"%s%supdatedolphin\\kelvo\\KELVO.dll", {"KELVO.dll", "\\KELVO.dll"}, {"D15", "D25"}},
    {"%s%supdatedolphin\\kelvo\\kelvo.sdi", {"kelvo.sdi", "\\kelvo.sdi"}, {"D16", "D26"}},
};

// The NT family creates "kelvo\" but addresses "Kelvo\": the same folder, as Windows ignores letter case.
const DriverFolder kNtDriverFolder{"\\Sam\\", "kelvo\\", "Kelvo\\"};
const DriverFolder kVistaDriverFolder{"\\Sam", "\\kelvo", "\\kelvo"};

std::string DriverFolderToCreate(const std::string& dolphinFolder, const DriverFolder& pieces) {
    return dolphinFolder + pieces.sam + pieces.create;
}

std::string DriverFilePath(const std::string& dolphinFolder, const DriverFolder& pieces, const char* name) {
    return dolphinFolder + pieces.sam + pieces.files + name;
}

bool CutDolphinFolder(const std::string& value, std::string& folder) {
    std::size_t at = value.find(kDolphinWord);
    if (at == std::string::npos) return false;
    folder = value.substr(0, at + kCutLength);
    return true;
}

// A value with fewer than four characters after "Hal" is kept whole before its end is taken.
bool CutHalFolder(const std::string& value, std::string& halFolder) {
    std::size_t at = value.find(kHalWord);
    if (at == std::string::npos) return false;
    std::string head = value.substr(0, at + kCutLength);
    halFolder = head.size() > kHalFolderLength ? head.substr(head.size() - kHalFolderLength) : head;
    return true;
}

std::vector<std::string> NtSettingsTargets(const std::string& dolphinFolder) {
    std::vector<std::string> targets;
    for (const char* file : kNtSettingsFiles) targets.push_back(dolphinFolder + file);
    return targets;
}

std::string VistaSettingsTarget(const std::string& owner, const std::string& halFolder) {
    return kVistaUsersFolder + owner + kVistaUserDataFolder + halFolder + kVistaSettingsFile;
}

}  // namespace dolphin
