// The one-file release as a user meets it: one program in a download folder that unpacks the shipped folder into a
// new admin-only folder below Windows' temporary folder, runs the setup from there, hands back its exit code and
// leaves nothing behind; a damaged copy says so and writes nothing. On a Windows PC (the kit) the folder's DACL is
// the one Windows enforces; Wine keeps it as given but enforces none of it.
#include <aclapi.h>
#include <sddl.h>

#include <functional>
#include <set>

#include "BeginScenario.h"

using namespace bench;
using namespace begin;

namespace {
constexpr char kMessageTitle[] = "Kelvo Braille display setup";
constexpr char kDamaged[] = "The setup file is damaged or incomplete. Please download it again.";

// The release beside the shipped folder under test (a release made by make dist), beside this program (the kit), or
// beside the build's zip.
std::string OneFileProgram() {
    for (const std::string& folder : {DistFolder(), ProgramFolder(), std::string("Z:" KELVO_ONEFILE_DIR)}) {
        std::string pattern = folder + "\\kelvo-setup-*.exe";
        for (char& c : pattern) {
            if (c == '/') c = '\\';
        }
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA(pattern.c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) continue;
        ::FindClose(find);
        return pattern.substr(0, pattern.rfind('\\') + 1) + found.cFileName;
    }
    return "<no kelvo-setup-*.exe>";
}

// A bad build's program, whose payload also holds update\<device>: beside this program (the kit) or below the build's
// zip.
std::string BadBuild(const std::string& device) {
    std::string name = "bad-build-" + device + ".exe";
    std::string beside = ProgramFolder() + "\\" + name;
    if (FileExists(beside)) return beside;
    std::string built = "Z:" KELVO_ONEFILE_DIR "/bad-build/" + name;
    for (char& c : built) {
        if (c == '/') c = '\\';
    }
    return built;
}

std::string TempFolder() {
    char windows[MAX_PATH] = "";
    ::GetSystemWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\Temp";
}

// The unpacking folders that lie in Windows' temporary folder now.
std::set<std::string> UnpackFolders() {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((TempFolder() + "\\kelvo-*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(found.cFileName);
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return names;
}

// The one folder that `now` holds and `before` did not; empty when there is not exactly one.
std::string NewFolder(const std::set<std::string>& before, const std::set<std::string>& now) {
    std::vector<std::string> added;
    for (const std::string& name : now) {
        if (!before.count(name)) added.push_back(name);
    }
    return added.size() == 1 ? TempFolder() + "\\" + added[0] : "";
}

// The folder's owner and DACL in Windows' own notation (SDDL), e.g. "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)".
std::string Security(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return "<unreadable>";
    }
    char* text = nullptr;
    std::string sddl =
        ::ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr)
            ? text
            : "<unconvertible>";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return sddl;
}

// Windows keeps the DACL as it was given: owner Administrators, SYSTEM and Administrators full control passed on to
// every file and subfolder, protected (nothing inherited from the temporary folder's entries, such as CREATOR OWNER's).
// Wine keeps none of it: it reports the DACL of the folder's Unix permissions, which it made owner-only from it (the
// Wine user full control, SYSTEM too, no one else); that "no one else" is all it can show.
void ExpectAdminOnly(const std::string& folder) {
    std::string sddl = Security(folder);
    if (!::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
        EXPECT_EQ("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", sddl);
        return;
    }
    for (const char* other : {";WD)", ";BU)", ";AU)", ";IU)", ";CO)"}) {
        EXPECT_EQ(std::string::npos, sddl.find(other)) << sddl << " grants " << other;
    }
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}
}  // namespace

class OneFile : public BeginScenario {
protected:
    void SetUp() override {
        BeginScenario::SetUp();
        m_program = OneFileProgram();
        ASSERT_TRUE(FileExists(m_program)) << m_program;
        MakeFolders(Downloads());
        ASSERT_TRUE(::CopyFileA(m_program.c_str(), Downloaded().c_str(), FALSE)) << "error " << ::GetLastError();
        m_before = UnpackFolders();
    }

    // A user's download folder, with a Chinese name on a Chinese Windows.
    std::string Downloads() const { return m_sandbox.Path(LocalName("Downloads", L"下载")); }
    std::string Downloaded() const { return Downloads() + m_program.substr(m_program.rfind('\\')); }
    StartOptions FromDownloads() const {
        return {Downloads(), "", Downloaded().substr(Downloads().size() + 1), "", true};
    }

    // A whole "Begin" with the display at COM3, to the setup's exit code 4 handed back; `whileRunning` runs once the
    // main window is open.
    void BeginToTheEnd(
        Wizard& wizard, const std::function<void()>& whileRunning = [] {}) {
        SetMachineString(kNtDeviceKey, "PortName", "COM3");
        Window main;
        StartAndBegin(wizard, main);
        whileRunning();
        EXPECT_EQ(Announcement("COM3"), Next(wizard));
        EXPECT_EQ(kFinished, Next(wizard));
        EXPECT_EQ(4u, wizard.WaitExit()) << "the setup's exit code, handed back";
    }

    // The program in the download folder says the download is damaged, writes nothing and ends with 1.
    void ExpectRefusedAsDamaged() {
        StartOptions options = FromDownloads();
        options.checkPrompts = false;
        Wizard wizard(options);
        Window box = wizard.WaitWindow(kMessageTitle);
        ASSERT_TRUE(box.Exists());
        // The message box has its title before its text: under load the text may come a moment later.
        WaitUntil([&] { return !box.Control(0xFFFF).Text().empty(); });
        EXPECT_EQ(kDamaged, box.Control(0xFFFF).Text());
        EXPECT_EQ(m_before, UnpackFolders()) << "nothing written";
        box.PressEnter();
        EXPECT_EQ(1u, wizard.WaitExit());
        EXPECT_EQ("", InstallerRuns());
    }

    std::string m_program;
    std::set<std::string> m_before;
};

// Run on a Windows PC by the kit, this shows what Wine cannot: the DACL that Windows enforces, read back as Windows
// keeps it. Under Wine it shows that the folder is made with that DACL and taken away, in both Windows.
TEST_F(OneFile, BeginFromADownloadFolderRunsFromAnAdminOnlyFolderThatIsGoneAfterwards) {
    Wizard wizard(FromDownloads());
    std::string folder;
    BeginToTheEnd(wizard, [&] {
        folder = NewFolder(m_before, UnpackFolders());
        ASSERT_NE("", folder) << "one new folder below " << TempFolder();
        std::string name = folder.substr(folder.rfind('\\') + 1);
        EXPECT_EQ(38u, name.size()) << name << ": kelvo- and 128 random bits";
        EXPECT_EQ(std::string::npos, name.find_first_not_of("kelvo-0123456789abcdef")) << name;
        ExpectAdminOnly(folder);
        // Held: even a program with every right on it and on the temporary folder (this one runs elevated) cannot
        // rename it away and put its own in its place. While the setup runs, its current directory, a handle that
        // shares no deletion either, refuses this as well; the program's own handle, held from the folder's creation
        // on, is shown alone by the unit test OneFileFolder.HeldFromItsCreationItCanBeNeitherRenamedNorDeleted.
        std::string moved = folder + "-moved";
        EXPECT_FALSE(::MoveFileA(folder.c_str(), moved.c_str())) << "renamed while the setup runs";
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
        if (FolderExists(moved)) ::MoveFileA(moved.c_str(), folder.c_str());
    });
    EXPECT_EQ(Lower(folder + "\t\"" + folder + "\\driverfornt\\Kelvo Braille display driver.exe\"\r\n"),
              Lower(InstallerRuns()))
        << "started by its quoted path from the unpacked setup's folder";
    EXPECT_FALSE(FolderExists(folder)) << "removed afterwards";
    EXPECT_EQ(m_before, UnpackFolders());
}

TEST_F(OneFile, TwoStartedAtOnceUnpackIntoTwoFolders) {
    Wizard first(FromDownloads());
    Wizard second(FromDownloads());
    Window one = first.WaitMain();
    Window two = second.WaitMain();
    ASSERT_TRUE(one.Exists() && two.Exists());
    EXPECT_EQ(m_before.size() + 2, UnpackFolders().size());
    one.Click(kQuit);
    two.Click(kQuit);
    EXPECT_NE(STILL_ACTIVE, first.WaitExit());
    EXPECT_NE(STILL_ACTIVE, second.WaitExit());
    EXPECT_EQ(m_before, UnpackFolders());
}

// A byte changed in the middle of the payload (a damaged download): the message, nothing written, exit code 1.
TEST_F(OneFile, DamagedCopySaysSoWritesNothingAndEndsWithOne) {
    std::string bytes = ReadFileBytes(Downloaded());
    size_t cabinet = bytes.find(std::string("MSCF\0\0\0\0", 8));
    ASSERT_NE(std::string::npos, cabinet);
    bytes[cabinet + 4096] ^= 0x20;
    WriteFileBytes(Downloaded(), bytes);
    ExpectRefusedAsDamaged();
}

// A bad build's payload that holds update\NUL or update\COM3, names that Windows opens as devices in every folder: the
// write would vanish, or go to a serial port (perhaps the display's). Its digest is right; it is refused all the same,
// as a damaged one, before anything is written.
TEST_F(OneFile, ABadBuildWithADeviceNameIsRefusedLikeADamagedOne) {
    for (const char* device : {"NUL", "COM3"}) {
        SCOPED_TRACE(device);
        std::string bad = BadBuild(device);
        ASSERT_TRUE(::CopyFileA(bad.c_str(), Downloaded().c_str(), FALSE)) << bad << ": error " << ::GetLastError();
        ExpectRefusedAsDamaged();
    }
}

// Wine searches the program's folder for these names only with KELVO_DLL_OVERRIDES; Windows does by itself. The
// setup it starts runs from the unpacked folder, where nothing is planted.
TEST_F(OneFile, NoDllPlantedBesideItIsLoaded) {
    const std::vector<std::string> planted = {"cabinet", "rsaenh",  "cryptbase", "uxtheme",  "dwmapi", "msimg32",
                                              "apphelp", "propsys", "userenv",   "comctl32", "oleacc"};
    if (!PlantedDllsAreSearched(planted)) GTEST_SKIP() << "under Wine it runs only with KELVO_DLL_OVERRIDES";
    PlantDlls(planted, Downloads());
    Wizard wizard(FromDownloads());
    BeginToTheEnd(wizard);
    EXPECT_EQ(std::vector<std::string>{}, LoadedDlls(planted, Downloads()));
}
