// The Dolphin update through the hidden control 1003: a Dolphin installation laid out in the sandbox, the copies
// checked byte for byte with their attributes, and every failure told with its code and ended with exit code 4.
#include "Scenario.h"

using namespace bench;

namespace {
constexpr char kDolphinKey[] = "SOFTWARE\\Dolphin";
constexpr char kDolServeKey[] = "SOFTWARE\\Dolphin\\DolServe";
constexpr char kVistaProduct[] = "Windows Vista (TM) Business";

const char* const kDriverFiles[] = {"kelvo00001.ini", "kelvo00039.INI", "kelvo00044.ini",
                                    "kelvo00052.ini", "KELVO.dll",      "kelvo.sdi"};
constexpr std::size_t kDriverCount = sizeof kDriverFiles / sizeof kDriverFiles[0];

// The name as the file system keeps it, letter case included; empty when there is none.
std::string StoredName(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "";
    ::FindClose(search);
    return found.cFileName;
}
}  // namespace

// The suite's name is part of the sandbox's path, and the Dolphin folder ends at the first "Dolphin" in it: so the
// suite and scenario names never hold that word.
class Hidden1003 : public Scenario {
protected:
    std::string Install() const { return m_sandbox.Path(LocalName("Dolphin", L"读屏\\Dolphin")); }
    std::string Sam() const { return Install() + "\\Sam"; }
    std::string Driver(std::size_t row) const { return Sam() + "\\kelvo\\" + kDriverFiles[row]; }
    std::string Settings(const char* hal) const { return Install() + "\\" + hal + "\\Settings\\Kelvo.bk1"; }
    std::string Shipped(const std::string& file) const { return m_sandbox.Setup() + "\\updatedolphin\\" + file; }
    std::string ShippedDriver(std::size_t row) const { return Shipped(std::string("kelvo\\") + kDriverFiles[row]); }

    // Dolphin registered for the NT family, with the Hal folders that have a Settings folder, and a Sam folder.
    void LayOut(std::initializer_list<const char*> halsWithSettings, bool sam = true) {
        SetMachineString(kDolphinKey, "FullAccess", "1");
        SetOrpheus2(Install() + "\\o.exe");
        for (const char* hal : {"Hal1002", "Hal1101", "Hal1003"}) MakeFolders(Install() + "\\" + hal);
        for (const char* hal : halsWithSettings) MakeFolders(Install() + "\\" + hal + "\\Settings");
        if (sam) MakeFolders(Sam());
    }
    void SetOrpheus2(const std::string& value) {
        SetMachineString(kDolServeKey, "Orpheus2", value);
        if (value.find("Dolphin") != std::string::npos) {
            ASSERT_LT(value.size(), 80u) << "a scenario name too long for the registry reader";
        }
    }
    void MakeShippedReadOnly(const std::string& path) {
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) << path;
    }

    // Clicks the hidden control; the update is silent: no prompt, and the main window takes ESC again. The files
    // are checked once the program has ended, so every copy is done by then.
    void UpdateSilently() {
        Wizard wizard(Setup());
        Window main = wizard.WaitMain();
        ASSERT_TRUE(main.Exists());
        main.SendClicked(kButton3);
        EXPECT_TRUE(wizard.NoWindowFor("Kelvo:Caution", 700));
        EXPECT_TRUE(main.Visible());
        EXPECT_TRUE(main.Enabled());
        EXPECT_TRUE(main.Control(kBegin).Enabled());
        main.PressEscape();
        EXPECT_TRUE(main.WaitGone());
        EXPECT_EQ(0u, wizard.WaitExit()) << "left through the main window, not ended by the update";
    }

    // Clicks the hidden control and answers the failure message with ENTER (or ESC); its text.
    std::string UpdateAndFail(bool escape = false) {
        Wizard wizard(Setup());
        Window main = wizard.WaitMain();
        if (!main.Exists()) return "<no main window>";
        main.SendClicked(kButton3);
        Window prompt = wizard.WaitPrompt();
        if (!prompt.Handle()) return "<no prompt>";
        EXPECT_EQ(prompt.Control(kMessageField).Handle(), prompt.Focus().Handle());
        std::string said = escape ? AnswerEscape(prompt) : AnswerEnter(prompt);
        EXPECT_EQ(4u, wizard.WaitExit());
        EXPECT_FALSE(main.Exists());
        return said;
    }

    // Rows before `end` are copied byte for byte, archive alone, under their own names; the others are not there.
    void ExpectDriversUpTo(std::size_t end) {
        for (std::size_t row = 0; row < kDriverCount; ++row) {
            SCOPED_TRACE(kDriverFiles[row]);
            if (row < end) {
                EXPECT_EQ(ReadFileBytes(ShippedDriver(row)), ReadFileBytes(Driver(row)));
                EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), FileAttributes(Driver(row)));
                EXPECT_EQ(kDriverFiles[row], StoredName(Driver(row)));
            } else {
                EXPECT_FALSE(FileExists(Driver(row)));
            }
        }
    }
};

TEST_F(Hidden1003, NothingRegisteredDoesNothing) {
    LayOut({"Hal1002"});
    DeleteMachineValue(kDolphinKey, "FullAccess");
    UpdateSilently();
    EXPECT_FALSE(FolderExists(Sam() + "\\kelvo"));
    EXPECT_FALSE(FileExists(Settings("Hal1002")));
}

TEST_F(Hidden1003, PresenceValueOf80IsSilent) {
    LayOut({"Hal1002"});
    SetMachineString(kDolphinKey, "FullAccess", std::string(80, '1'));
    UpdateSilently();
    EXPECT_FALSE(FolderExists(Sam() + "\\kelvo"));
    EXPECT_FALSE(FileExists(Settings("Hal1002")));
}

TEST_F(Hidden1003, ReadOnlySourcesEndArchiveOnly) {
    LayOut({"Hal1002", "Hal1101", "Hal1003"});
    MakeShippedReadOnly(Shipped("kelvo.bk1"));
    for (std::size_t row = 0; row < kDriverCount; ++row) MakeShippedReadOnly(ShippedDriver(row));
    // An earlier update's folder and file: the copy overwrites it.
    MakeFolders(Sam() + "\\kelvo");
    WriteFileBytes(Driver(5), "old");

    UpdateSilently();
    EXPECT_EQ(ReadFileBytes(Shipped("kelvo.bk1")), ReadFileBytes(Settings("Hal1002")));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), FileAttributes(Settings("Hal1002")));
    EXPECT_EQ("Kelvo.bk1", StoredName(Settings("Hal1002")));
    EXPECT_FALSE(FileExists(Settings("Hal1101"))) << "the first target that takes the file is the only one";
    EXPECT_FALSE(FileExists(Settings("Hal1003")));
    EXPECT_EQ("kelvo", StoredName(Sam() + "\\kelvo"));
    ExpectDriversUpTo(kDriverCount);
}

TEST_F(Hidden1003, OnlyHal1101KeepsTheCopysAttributes) {
    LayOut({"Hal1101", "Hal1003"});
    MakeShippedReadOnly(Shipped("kelvo.bk1"));
    UpdateSilently();
    EXPECT_EQ(ReadFileBytes(Shipped("kelvo.bk1")), ReadFileBytes(Settings("Hal1101")));
    EXPECT_NE(0u, FileAttributes(Settings("Hal1101")) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(FolderExists(Install() + "\\Hal1002\\Settings")) << "no Settings folder is made";
    EXPECT_FALSE(FileExists(Settings("Hal1003")));
    ExpectDriversUpTo(kDriverCount);
}

TEST_F(Hidden1003, NoHalSettingsTellsD3) {
    LayOut({});
    EXPECT_EQ(std::string(kDolphinFailed) + "D3-Copy Kelvo.bk1 failed", UpdateAndFail());
    EXPECT_FALSE(FolderExists(Sam() + "\\kelvo")) << "no driver file after D3";
    for (const char* hal : {"Hal1002", "Hal1101", "Hal1003"})
        EXPECT_FALSE(FolderExists(Install() + "\\" + hal + "\\Settings"));
}

TEST_F(Hidden1003, MissingSamTellsD11AfterTheSettings) {
    LayOut({"Hal1002"}, false);
    EXPECT_EQ(std::string(kDolphinFailed) + "D11", UpdateAndFail());
    EXPECT_EQ(ReadFileBytes(Shipped("kelvo.bk1")), ReadFileBytes(Settings("Hal1002")));
    EXPECT_FALSE(FolderExists(Sam())) << "only the last folder of the path is made";
}

TEST_F(Hidden1003, MissingShippedFileStopsAtItsRow) {
    LayOut({"Hal1002"});
    ASSERT_TRUE(::DeleteFileA(ShippedDriver(2).c_str()));
    EXPECT_EQ(std::string(kDolphinFailed) + "D13", UpdateAndFail());
    ExpectDriversUpTo(2);
    EXPECT_TRUE(FileExists(Settings("Hal1002")));
}

TEST_F(Hidden1003, Orpheus2Of80TellsD1) {
    LayOut({"Hal1002"});
    std::string value = Install() + "\\";
    SetMachineString(kDolServeKey, "Orpheus2", value + std::string(80 - value.size(), 'x'));
    EXPECT_EQ(std::string(kDolphinFailed) + "D1", UpdateAndFail());
    EXPECT_FALSE(FileExists(Settings("Hal1002")));
}

TEST_F(Hidden1003, EscapeOnD2EndsWithCode4) {
    LayOut({"Hal1002"});
    SetOrpheus2(m_sandbox.Path("dolphin\\o.exe"));
    EXPECT_EQ(std::string(kDolphinFailed) + "D2", UpdateAndFail(true));
    EXPECT_FALSE(FileExists(Settings("Hal1002")));
    EXPECT_FALSE(FolderExists(Sam() + "\\kelvo"));
}

TEST_F(Hidden1003, VistaSystemStillRunsTheNtUpdate) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    LayOut({"Hal1002"});
    // Where the Vista family would look: left alone.
    std::string other = m_sandbox.Path("Other\\Dolphin");
    MakeFolders(other + "\\Sam");
    SetMachineString("SOFTWARE\\Wow6432Node\\Dolphin", "FullAccess", "1");
    SetMachineString("SOFTWARE\\Wow6432Node\\Dolphin\\ScriptEditor\\Capabilities", "ApplicationIcon",
                     other + "\\Hal1101\\x.exe");
    UpdateSilently();
    EXPECT_EQ(ReadFileBytes(Shipped("kelvo.bk1")), ReadFileBytes(Settings("Hal1002")));
    ExpectDriversUpTo(kDriverCount);
    EXPECT_FALSE(FolderExists(other + "\\Sam\\kelvo"));
}
