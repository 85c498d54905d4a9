// The Dolphin update: copies the display's settings file and braille-driver files into an installed Dolphin.
#include <windows.h>

#include "app/SetupDlg.h"
#include "dolphin/DolphinPaths.h"
#include "probe/SourceRoot.h"

namespace {
// Whether this value can be read is all the presence probe asks; its text is not used.
constexpr char kFullAccessValue[] = "FullAccess";

constexpr char kNtDolphinKey[] = "SOFTWARE\\Dolphin";
constexpr char kNtDolServeKey[] = "SOFTWARE\\Dolphin\\DolServe";
constexpr char kNtOrpheus2Value[] = "Orpheus2";

constexpr char kVistaDolphinKey[] = "SOFTWARE\\Wow6432Node\\Dolphin";
constexpr char kVistaCapabilitiesKey[] = "SOFTWARE\\Wow6432Node\\Dolphin\\ScriptEditor\\Capabilities";
constexpr char kVistaApplicationIconValue[] = "ApplicationIcon";
constexpr char kWindowsNtKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kRegisteredOwnerValue[] = "RegisteredOwner";

constexpr char kDolphinErrorPrefix[] =
    "ERROR!Dolphin updates failed,please copy files manually.\r\nFor more information, please see the Manual! Code:";
constexpr char kNoOrpheus2Code[] = "D1";
constexpr char kNoDolphinInOrpheus2Code[] = "D2";
constexpr char kNtSettingsCode[] = "D3-Copy Kelvo.bk1 failed";
constexpr char kNoVistaValuesCode[] = "D4";
constexpr char kNoHalCode[] = "D5";
constexpr char kVistaSettingsCode[] = "D7";
constexpr char kNoDolphinInIconCode[] = "D8";

bool Copy(const std::string& source, const std::string& destination) {
    return ::CopyFileA(source.c_str(), destination.c_str(), FALSE) != FALSE;
}

// A copy carries the source's read-only mark (files from a CD have it); archive alone clears it. The reset's own
// outcome is not checked.
bool CopyWithArchiveReset(const std::string& source, const std::string& destination) {
    if (!Copy(source, destination)) return false;
    ::SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    return true;
}

// The NT family finds the Dolphin folder first, then gives the settings file to the first Hal folder that takes
// it. Only the first target's copy is reset to archive alone; a fallback keeps the attributes of its copy.
const char* LocateNt(const std::string& settingsSource, std::string& dolphinFolder) {
    std::string orpheus2;
    if (!CSetupDlg::ReadRegistryString(kNtDolServeKey, kNtOrpheus2Value, orpheus2)) return kNoOrpheus2Code;
    if (!dolphin::CutDolphinFolder(orpheus2, dolphinFolder)) return kNoDolphinInOrpheus2Code;

    std::vector<std::string> targets = dolphin::NtSettingsTargets(dolphinFolder);
    if (CopyWithArchiveReset(settingsSource, targets[0])) return nullptr;
    for (std::size_t i = 1; i < targets.size(); ++i) {
        if (Copy(settingsSource, targets[i])) return nullptr;
    }
    return kNtSettingsCode;
}

// The Vista family copies the settings file into the owner's profile before it looks for the Dolphin folder, so a
// value without "Dolphin" fails only after that copy.
const char* LocateVista(const std::string& settingsSource, std::string& dolphinFolder) {
    std::string icon;
    std::string owner;
    if (!CSetupDlg::ReadRegistryString(kVistaCapabilitiesKey, kVistaApplicationIconValue, icon)) {
        return kNoVistaValuesCode;
    }
    if (!CSetupDlg::ReadRegistryString(kWindowsNtKey, kRegisteredOwnerValue, owner)) return kNoVistaValuesCode;

    std::string halFolder;
    if (!dolphin::CutHalFolder(icon, halFolder)) return kNoHalCode;
    if (!CopyWithArchiveReset(settingsSource, dolphin::VistaSettingsTarget(owner, halFolder))) {
        return kVistaSettingsCode;
    }
    if (!dolphin::CutDolphinFolder(icon, dolphinFolder)) return kNoDolphinInIconCode;
    return nullptr;
}

// The folder's creation is not checked: it may exist already, and a missing Sam folder shows as the failure of
// the first copy. The rows are copied in order and the first failure stops them.
const char* CopyDriverFiles(const std::string& dolphinFolder, const dolphin::DriverFolder& pieces,
                            dolphin::Column column) {
    ::CreateDirectoryA(dolphin::DriverFolderToCreate(dolphinFolder, pieces).c_str(), nullptr);
    for (const dolphin::DriverFile& file : dolphin::kDriverFiles) {
        std::string destination = dolphin::DriverFilePath(dolphinFolder, pieces, file.name[column]);
        if (!CopyWithArchiveReset(SourcePath(file.source), destination)) return file.code[column];
    }
    return nullptr;
}
}  // namespace

struct CSetupDlg::DolphinFamily {
    const char* dolphinKey;  // holds the presence probe's value
    // Finds the Dolphin folder and copies the settings file, in the family's order; the failure code or nullptr.
    const char* (*locate)(const std::string& settingsSource, std::string& dolphinFolder);
    const dolphin::DriverFolder* driverFolder;
    dolphin::Column column;
};

void CSetupDlg::UpdateDolphinNt() {
    static const DolphinFamily kNt{kNtDolphinKey, LocateNt, &dolphin::kNtDriverFolder, dolphin::kNtColumn};
    UpdateDolphin(kNt);
}

void CSetupDlg::UpdateDolphinVista() {
    static const DolphinFamily kVista{kVistaDolphinKey, LocateVista, &dolphin::kVistaDriverFolder,
                                      dolphin::kVistaColumn};
    UpdateDolphin(kVista);
}

// Silent when no Dolphin is registered and when every copy succeeds. Any other failure is told with its code and
// ends the process; what was copied before it stays.
void CSetupDlg::UpdateDolphin(const DolphinFamily& family) {
    std::string fullAccess;
    if (!ReadRegistryString(family.dolphinKey, kFullAccessValue, fullAccess)) return;

    std::string dolphinFolder;
    const char* failure = family.locate(SourcePath(dolphin::kSettingsSource), dolphinFolder);
    if (!failure) failure = CopyDriverFiles(dolphinFolder, *family.driverFolder, family.column);
    if (!failure) return;

    m_prompts.TellAndEnd(std::string(kDolphinErrorPrefix) + failure);
}
