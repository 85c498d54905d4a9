// The Window-Eyes detection and update run to their end against a Window-Eyes laid out under C:\ and the real
// registry, files and INI functions of Wine; what they said and how they ended is recorded.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/SetupDlg.h"
#include "probe/SourceRoot.h"
#include "MachineFiles.h"
#include "RecordingPrompts.h"

namespace {
constexpr char kTestRoot[] = "C:\\kelvo-we-test";
constexpr char kVendorKey[] = "SOFTWARE\\GW Micro, Inc.";
constexpr char kProfessionalKey[] = "SOFTWARE\\GW Micro, Inc.\\Window-Eyes\\Professional";

const std::string kFailure =
    "ERROR!Driver installed successfully but Window-Eyes updated unsuccessfully!\r\nPlease press ENTER to finish. "
    "Error Code: ";
const std::string kVistaDone =
    "Congratulations!Kelvo Braille Display setup has been completed successfully,please press\xA1\xA1"
    "ENTER to finish.\r\nThen restart Window-eyes.";
const std::string kNtDone =
    "Congratulations! Kelvo Braille Display setup has been completed successfully,press ENTER to finish!\r\nThen "
    "restart Window-eyes.";
const std::string kReadingFailed = "Error!Reading files failed!\r\nPlease press ENTER and Kelvo Setup will be closed!";

constexpr char kDriverSource[] = "%s%supdate\\webrloem107.dll";
constexpr char kCompanionSource[] = "%s%supdate\\bdisplay.exe";
constexpr char kBraille6Source[] = "%s%supdate\\WindowEyes6\\braille.ini";
constexpr char kBraille7Source[] = "%s%supdate\\WindowEyes7\\braille.ini";

// A per-user settings file as Window-Eyes leaves it: comments, blank lines, blanks around "=", empty values.
const char kRealisticIni[] =
    "; Window-Eyes user settings\r\n"
    "[general]\r\n"
    "version=7.01\r\n"
    "startup = 1\r\n"
    "\r\n"
    "[speech]\r\n"
    "synth=eloquence\r\n"
    "rate=55\r\n"
    "; tuned by hand\r\n"
    "pitch=40\r\n"
    "\r\n"
    "[driver]\r\n"
    "braillebaud=38400\r\n"
    "brailleport=COM1\r\n"
    "speechdriver=sapi5\r\n"
    "brailledrivername=alva\r\n"
    "\r\n"
    "[keyboard]\r\n"
    "layout=desktop\r\n"
    "lastfile=\r\n"
    "[hotkeys]\r\n"
    "say line=Ctrl+Shift+L\r\n"
    "mute=Ctrl\r\n"
    "[screen]\r\n"
    "cursor=PC\r\n"
    "; trailing comment\r\n";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

using machine::RemoveTree;

// An INI file as the lines that carry meaning: "[section]", "key=value" (blanks around "=" dropped) and
// ";comment". Wine's profile functions rewrite the file, so bytes can't be compared.
std::vector<std::string> IniEntries(const std::string& text) {
    std::vector<std::string> entries;
    std::istringstream lines(text);
    std::string line;
    auto trim = [](std::string s) {
        size_t begin = s.find_first_not_of(" \t\r");
        size_t end = s.find_last_not_of(" \t\r");
        return begin == std::string::npos ? std::string() : s.substr(begin, end - begin + 1);
    };
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty()) continue;
        size_t equals = line.find('=');
        if (line[0] == ';' || line[0] == '[' || equals == std::string::npos) {
            entries.push_back(line);
        } else {
            entries.push_back(trim(line.substr(0, equals)) + "=" + trim(line.substr(equals + 1)));
        }
    }
    return entries;
}

// The value of one key of one section, or "<none>".
std::string IniValue(const std::string& path, const std::string& section, const std::string& key) {
    std::string current;
    for (const std::string& entry : IniEntries(ReadBytes(path))) {
        if (entry[0] == '[') {
            current = entry.substr(1, entry.find(']') - 1);
        } else if (current == section && entry.compare(0, key.size() + 1, key + "=") == 0) {
            return entry.substr(key.size() + 1);
        }
    }
    return "<none>";
}

// Takes a shipped file away for the length of a test, or puts a read-only copy of it in its place, as if the
// setup ran from read-only media. The shipped file comes back either way.
class ShippedFileSwap {
public:
    ShippedFileSwap(const char* pattern, bool readOnlyCopy) : m_path(SourcePath(pattern)), m_away(m_path + ".away") {
        std::string bytes = ReadBytes(m_path);
        m_moved = ::MoveFileA(m_path.c_str(), m_away.c_str()) != FALSE;
        if (m_moved && readOnlyCopy) {
            WriteBytes(m_path, bytes);
            ::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }
    ~ShippedFileSwap() {
        if (!m_moved) return;
        ::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(m_path.c_str());
        ::MoveFileA(m_away.c_str(), m_path.c_str());
    }
    bool Ready() const { return m_moved; }

private:
    std::string m_path;
    std::string m_away;
    bool m_moved = false;
};

class WindowEyesFlow : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kTestRoot);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVendorKey);
        // A folder of its own per test, so that no cached settings file of an earlier test can be mistaken.
        m_folder = std::string(kTestRoot) + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(::CreateDirectoryA(kTestRoot, nullptr));
        ASSERT_TRUE(::CreateDirectoryA(m_folder.c_str(), nullptr));
    }
    void TearDown() override {
        RemoveTree(kTestRoot);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVendorKey);
    }

    std::string At(const std::string& relative) const { return m_folder + "\\" + relative; }
    void MakeFolder(const std::string& relative) const {
        std::string path = m_folder;
        std::istringstream parts(relative);
        std::string part;
        while (std::getline(parts, part, '\\')) {
            path += "\\" + part;
            ::CreateDirectoryA(path.c_str(), nullptr);
        }
    }
    // A file that the update must not be able to replace; only an ordinary user sees read-only files refused.
    void MakeReadOnly(const std::string& relative, const std::string& bytes) const {
        WriteBytes(At(relative), bytes);
        ASSERT_TRUE(::SetFileAttributesA(At(relative).c_str(), FILE_ATTRIBUTE_READONLY));
        HANDLE h = ::CreateFileA(At(relative).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        ASSERT_EQ(INVALID_HANDLE_VALUE, h) << "read-only files are writable here: run Wine as an ordinary user";
    }

    void ResetRecorder() {
        m_recorder.shown.clear();
        m_recorder.ends = 0;
    }
    void Update(const char* versionClass, Family family, const std::string& port = "COM7") {
        CSetupDlg dlg(nullptr, m_recorder);
        dlg.UpdateWindowEyes(m_folder, versionClass, port, family);
    }
    // Every run of the update ends the process once, after exactly one message.
    void ExpectEndedWith(const std::string& message) const {
        ASSERT_EQ(1u, m_recorder.shown.size());
        EXPECT_FALSE(m_recorder.shown[0].wait);
        EXPECT_EQ(message, m_recorder.shown[0].text);
        EXPECT_EQ(1, m_recorder.ends);
    }
    void ExpectCopied(const char* sourcePattern, const std::string& relative, DWORD attributes) const {
        std::string source = ReadBytes(SourcePath(sourcePattern));
        ASSERT_FALSE(source.empty()) << sourcePattern;
        EXPECT_EQ(source, ReadBytes(At(relative))) << relative;
        EXPECT_EQ(attributes, Attributes(At(relative))) << relative;
    }

    std::string m_folder;
    RecordingPrompts m_recorder;
};

// ---------------------------------------------------------------- version 7

TEST_F(WindowEyesFlow, SevenWritesUsersDefaultAndKeepsTheRestOfTheSettings) {
    MakeFolder("users\\default");
    MakeFolder("users.bak\\default");
    WriteBytes(At("users\\default\\WINEYES.INI"), kRealisticIni);
    Update("7", Family::Nt);

    ExpectEndedWith(kNtDone);
    std::vector<std::string> expected = IniEntries(kRealisticIni);
    for (std::string& entry : expected) {
        if (entry == "brailleport=COM1") entry = "brailleport=COM7";
        if (entry == "brailledrivername=alva") entry = "brailledrivername=oem107";
    }
    EXPECT_EQ(expected, IniEntries(ReadBytes(At("users\\default\\WINEYES.INI"))));
    EXPECT_FALSE(Exists(At("users.bak\\default\\WINEYES.INI")));

    ExpectCopied(kDriverSource, "webrloem107.dll", FILE_ATTRIBUTE_ARCHIVE);
    ExpectCopied(kBraille7Source, "users\\default\\braille.ini", FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(Exists(At("users.bak\\default\\braille.ini")));
    EXPECT_FALSE(Exists(At("bdisplay.exe")));
}

TEST_F(WindowEyesFlow, SevenFallsBackToUsersBakForSettingsAndBrailleFile) {
    MakeFolder("users.bak\\default");
    Update("7", Family::Vista, "COM12");

    ExpectEndedWith(kVistaDone);
    EXPECT_EQ("COM12", IniValue(At("users.bak\\default\\WINEYES.INI"), "driver", "brailleport"));
    EXPECT_EQ("oem107", IniValue(At("users.bak\\default\\WINEYES.INI"), "driver", "brailledrivername"));
    ExpectCopied(kDriverSource, "webrloem107.dll", FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(ReadBytes(SourcePath(kBraille7Source)), ReadBytes(At("users.bak\\default\\braille.ini")));
    EXPECT_FALSE(Exists(At("users")));
}

TEST_F(WindowEyesFlow, SevenReadOnlySettingsFileFallsBackToUsersBak) {
    MakeFolder("users\\default");
    MakeFolder("users.bak\\default");
    MakeReadOnly("users\\default\\WINEYES.INI", "[driver]\r\nbrailleport=COM1\r\n");
    Update("7", Family::Nt);

    ExpectEndedWith(kNtDone);
    EXPECT_EQ("COM1", IniValue(At("users\\default\\WINEYES.INI"), "driver", "brailleport"));
    EXPECT_EQ("COM7", IniValue(At("users.bak\\default\\WINEYES.INI"), "driver", "brailleport"));
    EXPECT_EQ("oem107", IniValue(At("users.bak\\default\\WINEYES.INI"), "driver", "brailledrivername"));
    // The braille settings make their own choice: users\default takes them.
    ExpectCopied(kBraille7Source, "users\\default\\braille.ini", FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(WindowEyesFlow, SevenWithoutEitherSettingsFolderFailsBeforeAnyCopy) {
    Update("7", Family::Vista);
    ExpectEndedWith(kFailure + "VI71");
    EXPECT_FALSE(Exists(At("webrloem107.dll")));

    ResetRecorder();
    Update("7", Family::Nt);
    ExpectEndedWith(kFailure + "NT71");
    EXPECT_FALSE(Exists(At("webrloem107.dll")));
}

TEST_F(WindowEyesFlow, SevenReadOnlyBrailleFileGoesToTheSecondChoice) {
    MakeFolder("users\\default");
    MakeFolder("users.bak\\default");
    MakeReadOnly("users\\default\\braille.ini", "old braille settings");
    Update("7", Family::Nt);

    ExpectEndedWith(kNtDone);
    EXPECT_EQ("old braille settings", ReadBytes(At("users\\default\\braille.ini")));
    EXPECT_EQ(ReadBytes(SourcePath(kBraille7Source)), ReadBytes(At("users.bak\\default\\braille.ini")));
}

TEST_F(WindowEyesFlow, SevenBrailleFileRefusedByBothChoicesFails) {
    MakeFolder("users\\default");
    MakeFolder("users.bak\\default");
    MakeReadOnly("users\\default\\braille.ini", "old");
    MakeReadOnly("users.bak\\default\\braille.ini", "old too");
    Update("7", Family::Vista);

    ExpectEndedWith(kFailure + "VI72");
    // What was done before the failure stays done.
    EXPECT_EQ("COM7", IniValue(At("users\\default\\WINEYES.INI"), "driver", "brailleport"));
    ExpectCopied(kDriverSource, "webrloem107.dll", FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ("old", ReadBytes(At("users\\default\\braille.ini")));
    EXPECT_EQ("old too", ReadBytes(At("users.bak\\default\\braille.ini")));
}

TEST_F(WindowEyesFlow, ReadOnlySourcesBecomeWritableOnlyAtFirstChoices) {
    ShippedFileSwap driver(kDriverSource, true);
    ShippedFileSwap braille(kBraille7Source, true);
    ASSERT_TRUE(driver.Ready() && braille.Ready()) << "the shipped folder beside the tests must be writable";
    ASSERT_TRUE(Attributes(SourcePath(kBraille7Source)) & FILE_ATTRIBUTE_READONLY);
    MakeFolder("users.bak\\default");
    Update("7", Family::Nt);

    ExpectEndedWith(kNtDone);
    ExpectCopied(kDriverSource, "webrloem107.dll", FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(ReadBytes(SourcePath(kBraille7Source)), ReadBytes(At("users.bak\\default\\braille.ini")));
    EXPECT_TRUE(Attributes(At("users.bak\\default\\braille.ini")) & FILE_ATTRIBUTE_READONLY);

    // With users\default present the same source lands there, writable.
    MakeFolder("users\\default");
    ResetRecorder();
    Update("7", Family::Nt);
    ExpectEndedWith(kNtDone);
    ExpectCopied(kBraille7Source, "users\\default\\braille.ini", FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(WindowEyesFlow, MissingDriverSourceFailsAfterTheSettings) {
    MakeFolder("users\\default");
    {
        ShippedFileSwap away(kDriverSource, false);
        ASSERT_TRUE(away.Ready()) << "the shipped folder beside the tests must be writable";
        Update("7", Family::Nt);
    }
    ASSERT_FALSE(ReadBytes(SourcePath(kDriverSource)).empty());

    ExpectEndedWith(kFailure + "NT2");
    EXPECT_EQ("COM7", IniValue(At("users\\default\\WINEYES.INI"), "driver", "brailleport"));
    EXPECT_FALSE(Exists(At("webrloem107.dll")));
    EXPECT_FALSE(Exists(At("users\\default\\braille.ini")));
}

// ---------------------------------------------------------------- version 6

TEST_F(WindowEyesFlow, SixWritesItsSettingsAndCopiesTheCompanion) {
    MakeFolder("Users\\Default");
    WriteBytes(At("webrloem107.dll"), "an older driver");
    Update("6", Family::Vista, "COM3");

    ExpectEndedWith(kVistaDone);
    EXPECT_EQ("COM3", IniValue(At("Users\\Default\\WINEYES.INI"), "driver", "brailleport"));
    EXPECT_EQ("webrloem107", IniValue(At("Users\\Default\\WINEYES.INI"), "driver", "brailledrivername"));
    ExpectCopied(kDriverSource, "webrloem107.dll", FILE_ATTRIBUTE_ARCHIVE);
    ExpectCopied(kCompanionSource, "bdisplay.exe", FILE_ATTRIBUTE_ARCHIVE);
    ExpectCopied(kBraille6Source, "Users\\Default\\braille.ini", FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(WindowEyesFlow, SixDoesNotTryTheVersionSevenFolders) {
    MakeFolder("users.bak\\default");
    Update("6", Family::Nt);
    ExpectEndedWith(kFailure + "NT61");
    EXPECT_FALSE(Exists(At("users.bak\\default\\WINEYES.INI")));
    EXPECT_FALSE(Exists(At("webrloem107.dll")));
    EXPECT_FALSE(Exists(At("bdisplay.exe")));

    ResetRecorder();
    Update("6", Family::Vista);
    ExpectEndedWith(kFailure + "VI61");
}

TEST_F(WindowEyesFlow, SixReadOnlyDestinationsGiveTheirStepsCode) {
    struct Case {
        const char* readOnly;
        const char* code;
    };
    for (const Case& c :
         {Case{"webrloem107.dll", "NT2"}, Case{"bdisplay.exe", "NT62"}, Case{"Users\\Default\\braille.ini", "NT63"}}) {
        SCOPED_TRACE(c.readOnly);
        RemoveTree(m_folder);
        ASSERT_TRUE(::CreateDirectoryA(m_folder.c_str(), nullptr));
        MakeFolder("Users\\Default");
        MakeReadOnly(c.readOnly, "kept");
        ResetRecorder();
        Update("6", Family::Nt);

        ExpectEndedWith(kFailure + c.code);
        EXPECT_EQ("kept", ReadBytes(At(c.readOnly)));
    }
    // The last case got as far as the braille settings: the two copies before it were made.
    ExpectCopied(kDriverSource, "webrloem107.dll", FILE_ATTRIBUTE_ARCHIVE);
    ExpectCopied(kCompanionSource, "bdisplay.exe", FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(WindowEyesFlow, UnknownClassTouchesNothing) {
    MakeFolder("users\\default");
    Update("8", Family::Nt);
    EXPECT_TRUE(m_recorder.shown.empty());
    EXPECT_EQ(0, m_recorder.ends);
    EXPECT_FALSE(Exists(At("users\\default\\WINEYES.INI")));
    EXPECT_FALSE(Exists(At("webrloem107.dll")));
}

// ---------------------------------------------------------------- detection

class WindowEyesDetection : public WindowEyesFlow {
protected:
    void Set(const char* name, const std::string& text) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProfessionalKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &key, nullptr));
        ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
        ::RegCloseKey(key);
    }
    bool Detect() {
        CSetupDlg dlg(nullptr, m_recorder);
        return dlg.DetectWindowEyes(m_detectedFolder, m_detectedClass);
    }
    std::string m_detectedFolder = "untouched";
    std::string m_detectedClass = "untouched";
};

TEST_F(WindowEyesDetection, ClassifiesTheRegisteredVersion) {
    Set("Path", "C:\\Program Files\\GW Micro\\Window-Eyes");
    Set("Version", "7.01");
    EXPECT_TRUE(Detect());
    EXPECT_EQ("C:\\Program Files\\GW Micro\\Window-Eyes", m_detectedFolder);
    EXPECT_EQ("7", m_detectedClass);

    Set("Version", "6.1");
    EXPECT_TRUE(Detect());
    EXPECT_EQ("6", m_detectedClass);

    Set("Version", "7.2");
    EXPECT_FALSE(Detect());
    EXPECT_EQ("", m_detectedClass);
    EXPECT_TRUE(m_recorder.shown.empty());
    EXPECT_EQ(0, m_recorder.ends);
}

TEST_F(WindowEyesDetection, NoPathMeansNotInstalledSilently) {
    EXPECT_FALSE(Detect());
    Set("Version", "7.0");
    EXPECT_FALSE(Detect());
    Set("Path", std::string(80, 'C'));  // too long to be read
    EXPECT_FALSE(Detect());
    EXPECT_TRUE(m_recorder.shown.empty());
    EXPECT_EQ(0, m_recorder.ends);
    EXPECT_EQ("untouched", m_detectedFolder);
}

TEST_F(WindowEyesDetection, PathWithoutVersionEndsTheSetup) {
    Set("Path", "D:\\WE");
    EXPECT_FALSE(Detect());
    ASSERT_EQ(1u, m_recorder.shown.size());
    EXPECT_FALSE(m_recorder.shown[0].wait);
    EXPECT_EQ(kReadingFailed, m_recorder.shown[0].text);
    EXPECT_EQ(1, m_recorder.ends);
}

TEST_F(WindowEyesDetection, DetectedInstallationIsUpdated) {
    Set("Path", m_folder);
    Set("Version", "7.11");
    MakeFolder("users.bak\\default");
    std::string folder, versionClass;
    CSetupDlg dlg(nullptr, m_recorder);
    ASSERT_TRUE(dlg.DetectWindowEyes(folder, versionClass));
    dlg.UpdateWindowEyes(folder, versionClass, "COM4", Family::Nt);
    ExpectEndedWith(kNtDone);
    EXPECT_EQ("COM4", IniValue(At("users.bak\\default\\WINEYES.INI"), "driver", "brailleport"));
}
}  // namespace
