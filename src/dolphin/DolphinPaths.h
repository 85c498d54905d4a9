// The Dolphin update's text rules: the files it copies, and where its registry values say they go.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dolphin {

// Which family's column of the driver-file table a flow reads.
enum Column : std::size_t { kNtColumn = 0, kVistaColumn = 1 };

// One of the six driver files: its source pattern (drive, then folder) and each family's destination name and
// failure code.
struct DriverFile {
    const char* source;
    const char* name[2];
    const char* code[2];
};

constexpr std::size_t kDriverFileCount = 6;
extern const DriverFile kDriverFiles[kDriverFileCount];

constexpr char kSettingsSource[] = "%s%supdatedolphin\\kelvo.bk1";

// The pieces of a family's driver folder below the Dolphin folder: the Sam part, then the kelvo part as the folder
// is created and as the files are addressed.
struct DriverFolder {
    const char* sam;
    const char* create;
    const char* files;
};

extern const DriverFolder kNtDriverFolder;
extern const DriverFolder kVistaDriverFolder;

std::string DriverFolderToCreate(const std::string& dolphinFolder, const DriverFolder& pieces);
std::string DriverFilePath(const std::string& dolphinFolder, const DriverFolder& pieces, const char* name);

// The value up to and including its first "Dolphin"; false when it holds none.
bool CutDolphinFolder(const std::string& value, std::string& folder);
// The Hal folder named by a value; false when the value holds no "Hal".
bool CutHalFolder(const std::string& value, std::string& halFolder);

// The NT family's settings targets below the Dolphin folder, in the order they are tried.
std::vector<std::string> NtSettingsTargets(const std::string& dolphinFolder);
// The Vista family's one settings target, in the profile folder of the registered owner.
std::string VistaSettingsTarget(const std::string& owner, const std::string& halFolder);

}  // namespace dolphin
