// The Dolphin update run to its end through a recording prompt host, against the real registry and folders of the
// Wine prefix: what it copies where, with which attributes, and which code it tells.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFiles.h"
#include "RecordingPrompts.h"
#include "app/SetupDlg.h"
#include "dolphin/DolphinPaths.h"
#include "probe/SourceRoot.h"

namespace {
constexpr char kWindowsNtKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kVistaDolphinKey[] = "SOFTWARE\\Wow6432Node\\Dolphin";
constexpr char kVistaCapabilitiesKey[] = "SOFTWARE\\Wow6432Node\\Dolphin\\ScriptEditor\\Capabilities";
constexpr char kNtDolphinKey[] = "SOFTWARE\\Dolphin";
constexpr char kNtDolServeKey[] = "SOFTWARE\\Dolphin\\DolServe";

// An owner of our own, so that no real profile is touched.
constexpr char kOwner[] = "kelvo-test-owner";
constexpr char kProfile[] = "C:\\Users\\kelvo-test-owner";
constexpr char kUserData[] = "C:\\Users\\kelvo-test-owner\\AppData\\Local\\dolphin";
// An owner who has no profile folder; a faulty update that made one must not fail the next run.
constexpr char kNobody[] = "kelvo-test-nobody";
constexpr char kNobodyProfile[] = "C:\\Users\\kelvo-test-nobody";
// Holds neither "Hal" nor "Dolphin" before the installation's own folder.
constexpr char kRoot[] = "C:\\kelvo-unit";
constexpr char kInstall[] = "C:\\kelvo-unit\\Prog\\Dolphin";
constexpr char kIcon[] = "C:\\kelvo-unit\\Prog\\Dolphin\\Hal1101\\scr.exe";

constexpr char kError[] =
    "ERROR!Dolphin updates failed,please copy files manually.\r\nFor more information, please see the Manual! Code:";

const char* const kDriverNames[] = {"kelvo00001.ini", "kelvo00039.INI", "kelvo00044.ini",
                                    "kelvo00052.ini", "KELVO.dll",      "kelvo.sdi"};

void SetValue(const char* key, const char* name, const std::string& text) {
    HKEY handle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr));
    ::RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(handle);
}

void DeleteValue(const char* key, const char* name) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(handle, name);
    ::RegCloseKey(handle);
}

void MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    ::CreateDirectoryA(path.c_str(), nullptr);
}

using machine::RemoveTree;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }
bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

std::string DriverSource(std::size_t row) { return SourcePath(dolphin::kDriverFiles[row].source); }
std::string SettingsSource() { return SourcePath(dolphin::kSettingsSource); }

class DolphinUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        m_hadOwner = CSetupDlg::ReadRegistryString(kWindowsNtKey, "RegisteredOwner", m_owner);
        Clean();
        SetValue(kWindowsNtKey, "RegisteredOwner", kOwner);
        ASSERT_FALSE(Bytes(SettingsSource()).empty()) << "the shipped files lie beside the test program";
    }
    void TearDown() override {
        Clean();
        if (m_hadOwner) {
            SetValue(kWindowsNtKey, "RegisteredOwner", m_owner);
        } else {
            DeleteValue(kWindowsNtKey, "RegisteredOwner");
        }
    }
    static void Clean() {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVistaDolphinKey);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kNtDolphinKey);
        RemoveTree(kProfile);
        RemoveTree(kNobodyProfile);
        RemoveTree(kRoot);
    }

    // A Vista-family Dolphin: registered below Wow6432Node, its Sam folder, and the owner's Hal1101 settings.
    static void LayOutVista(const std::string& icon = kIcon) {
        SetValue(kVistaDolphinKey, "FullAccess", "1");
        SetValue(kVistaCapabilitiesKey, "ApplicationIcon", icon);
        MakeFolders(std::string(kInstall) + "\\Sam");
        MakeFolders(std::string(kUserData) + "\\Hal1101\\Settings");
    }

    std::vector<std::string> RunVista() {
        RecordingPrompts prompts;
        CSetupDlg dlg(nullptr, prompts);
        dlg.UpdateDolphinVista();
        EXPECT_EQ(prompts.Messages().empty() ? 0 : 1, prompts.ends) << "a failure message ends the process";
        return prompts.Messages();
    }
    std::vector<std::string> RunNt() {
        RecordingPrompts prompts;
        CSetupDlg dlg(nullptr, prompts);
        dlg.UpdateDolphinNt();
        EXPECT_EQ(prompts.Messages().empty() ? 0 : 1, prompts.ends);
        return prompts.Messages();
    }

    static std::vector<std::string> Failure(const std::string& code) { return {kError + code}; }
    static std::string VistaSettings() { return std::string(kUserData) + "\\Hal1101\\Settings\\Kelvo.bk1"; }
    static std::string DriverFolder() { return std::string(kInstall) + "\\Sam\\kelvo"; }
    static std::string Driver(std::size_t row) { return DriverFolder() + "\\" + kDriverNames[row]; }

    // The rows before `end` are copied byte for byte and archive alone; the rows from `end` on are not there.
    static void ExpectDriversUpTo(std::size_t end) {
        for (std::size_t row = 0; row < dolphin::kDriverFileCount; ++row) {
            SCOPED_TRACE(kDriverNames[row]);
            if (row < end) {
                EXPECT_EQ(Bytes(DriverSource(row)), Bytes(Driver(row)));
                EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(Driver(row)));
            } else {
                EXPECT_FALSE(Exists(Driver(row)) && !(Attributes(Driver(row)) & FILE_ATTRIBUTE_DIRECTORY));
            }
        }
    }

    bool m_hadOwner = false;
    std::string m_owner;
};

// Marks a shipped source read-only for one test and puts it back. The build's copy belongs to another user, so
// the file is written anew first: only its owner may make it read-only.
class ReadOnlySource {
public:
    explicit ReadOnlySource(std::string path) : m_path(std::move(path)) {
        std::string bytes = Bytes(m_path);
        ::DeleteFileA(m_path.c_str());
        std::ofstream(m_path, std::ios::binary) << bytes;
        EXPECT_TRUE(::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_READONLY)) << m_path;
    }
    ~ReadOnlySource() { ::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL); }

private:
    std::string m_path;
};
}  // namespace

TEST_F(DolphinUpdate, VistaCopiesEverythingSilentlyAndResetsEachCopyToArchiveAlone) {
    LayOutVista();
    ReadOnlySource settings(SettingsSource());
    ReadOnlySource dll(DriverSource(4));
    // An earlier update's folder and file: the creation fails unnoticed and the copy overwrites the file.
    MakeFolders(DriverFolder());
    std::ofstream(Driver(5)) << "old";

    EXPECT_TRUE(RunVista().empty());
    EXPECT_EQ(Bytes(SettingsSource()), Bytes(VistaSettings()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(VistaSettings()));
    ExpectDriversUpTo(dolphin::kDriverFileCount);
    EXPECT_FALSE(Exists(std::string(kInstall) + "\\Hal1101")) << "the Vista family keeps its settings in the profile";

    // A second run repeats every copy over the first.
    std::ofstream(Driver(0)) << "changed";
    EXPECT_TRUE(RunVista().empty());
    ExpectDriversUpTo(dolphin::kDriverFileCount);
}

TEST_F(DolphinUpdate, VistaDoesNothingWithoutItsOwnRegistration) {
    MakeFolders(std::string(kInstall) + "\\Sam");
    MakeFolders(std::string(kUserData) + "\\Hal1101\\Settings");
    // Registered only where the NT family looks.
    SetValue(kNtDolphinKey, "FullAccess", "1");
    SetValue(kNtDolServeKey, "Orpheus2", std::string(kInstall) + "\\DolServe.exe");
    SetValue(kVistaCapabilitiesKey, "ApplicationIcon", kIcon);
    EXPECT_TRUE(RunVista().empty());
    // A presence value of 80 characters counts as missing.
    SetValue(kVistaDolphinKey, "FullAccess", std::string(80, '1'));
    EXPECT_TRUE(RunVista().empty());

    EXPECT_FALSE(Exists(VistaSettings()));
    EXPECT_FALSE(Exists(DriverFolder()));
}

TEST_F(DolphinUpdate, VistaWithoutIconOrOwnerTellsD4) {
    LayOutVista();
    DeleteValue(kVistaCapabilitiesKey, "ApplicationIcon");
    EXPECT_EQ(Failure("D4"), RunVista());
    SetValue(kVistaCapabilitiesKey, "ApplicationIcon", std::string(kInstall) + "\\Hal1101\\" + std::string(60, 'x'));
    EXPECT_EQ(Failure("D4"), RunVista()) << "80 characters or more";
    SetValue(kVistaCapabilitiesKey, "ApplicationIcon", kIcon);
    DeleteValue(kWindowsNtKey, "RegisteredOwner");
    EXPECT_EQ(Failure("D4"), RunVista());
    EXPECT_FALSE(Exists(VistaSettings()));
    EXPECT_FALSE(Exists(DriverFolder()));
}

TEST_F(DolphinUpdate, VistaWithoutACaseSensitiveHalTellsD5) {
    LayOutVista("C:\\kelvo-unit\\Prog\\Dolphin\\hal1101\\scr.exe");
    EXPECT_EQ(Failure("D5"), RunVista());
    EXPECT_FALSE(Exists(DriverFolder()));
}

TEST_F(DolphinUpdate, VistaSettingsTargetThatDoesNotTakeTheFileTellsD7) {
    // At the start of the value the Hal folder has no backslash and runs into "dolphin": no such folder.
    LayOutVista("Hal1101\\Dolphin\\scr.exe");
    EXPECT_EQ(Failure("D7"), RunVista());
    EXPECT_FALSE(Exists(std::string(kUserData) + "Hal1101")) << "no folder is created";

    // An owner without a profile folder.
    LayOutVista();
    SetValue(kWindowsNtKey, "RegisteredOwner", kNobody);
    EXPECT_EQ(Failure("D7"), RunVista());
    EXPECT_FALSE(Exists(kNobodyProfile));
    EXPECT_FALSE(Exists(DriverFolder()));
}

TEST_F(DolphinUpdate, VistaHalWithoutDolphinCopiesTheSettingsThenTellsD8) {
    LayOutVista("C:\\kelvo-unit\\Prog\\dolphin\\Hal1101\\scr.exe");
    EXPECT_EQ(Failure("D8"), RunVista());
    EXPECT_EQ(Bytes(SettingsSource()), Bytes(VistaSettings()));
    EXPECT_FALSE(Exists(DriverFolder()));
}

TEST_F(DolphinUpdate, VistaDriverCopyFailureTellsTheRowsCodeAndKeepsTheRowsBefore) {
    for (std::size_t row = 0; row < dolphin::kDriverFileCount; ++row) {
        SCOPED_TRACE(kDriverNames[row]);
        Clean();
        LayOutVista();
        // A folder in the file's place makes just that copy fail.
        MakeFolders(Driver(row));
        EXPECT_EQ(Failure(dolphin::kDriverFiles[row].code[dolphin::kVistaColumn]), RunVista());
        ExpectDriversUpTo(row);
        EXPECT_EQ(Bytes(SettingsSource()), Bytes(VistaSettings()));
    }
}

TEST_F(DolphinUpdate, VistaWithoutSamFolderTellsD21AfterTheSettingsCopy) {
    LayOutVista();
    RemoveTree(std::string(kInstall) + "\\Sam");
    EXPECT_EQ(Failure("D21"), RunVista());
    EXPECT_EQ(Bytes(SettingsSource()), Bytes(VistaSettings()));
    EXPECT_FALSE(Exists(std::string(kInstall) + "\\Sam")) << "only the last folder of the path is created";
}

TEST_F(DolphinUpdate, NtFallsBackToHal1003WhenOnlyItHasSettings) {
    SetValue(kNtDolphinKey, "FullAccess", "");
    SetValue(kNtDolServeKey, "Orpheus2", std::string(kInstall) + "\\DolServe\\DolServe.exe");
    MakeFolders(std::string(kInstall) + "\\Sam");
    MakeFolders(std::string(kInstall) + "\\Hal1002");
    MakeFolders(std::string(kInstall) + "\\Hal1003\\Settings");
    ReadOnlySource settings(SettingsSource());

    EXPECT_TRUE(RunNt().empty());
    std::string target = std::string(kInstall) + "\\Hal1003\\Settings\\Kelvo.bk1";
    EXPECT_EQ(Bytes(SettingsSource()), Bytes(target));
    EXPECT_TRUE(Attributes(target) & FILE_ATTRIBUTE_READONLY) << "a fallback keeps the copy's attributes";
    EXPECT_FALSE(Exists(std::string(kInstall) + "\\Hal1002\\Settings"));
    ExpectDriversUpTo(dolphin::kDriverFileCount);
}
