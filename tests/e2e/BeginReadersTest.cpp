// "Begin" with the screen readers on the simulated PC: Window-Eyes detected, waited for and configured, and the
// Vista family's Dolphin update, end to end through the real windows; every end with exit code 4.
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "BeginScenario.h"
#include "MachineRegistry.h"
#include "OwnVoice.h"
#include "ScreenReader.h"

using namespace bench;
using namespace begin;

namespace {
constexpr char kWindowEyesKey[] = "SOFTWARE\\GW Micro, Inc.\\Window-Eyes\\Professional";
constexpr char kClosePrompt[] = "Please close Window-eyes and wait.\r\nPress ESC to quit if you want.";
constexpr char kReadingFailed[] = "Error!Reading files failed!\r\nPlease press ENTER and Kelvo Setup will be closed!";
constexpr char kWindowEyesFailed[] =
    "ERROR!Driver installed successfully but Window-Eyes updated unsuccessfully!\r\nPlease press ENTER to finish. "
    "Error Code: ";
constexpr char kNtDone[] =
    "Congratulations! Kelvo Braille Display setup has been completed successfully,press ENTER to finish!\r\nThen "
    "restart Window-eyes.";
// What a screen reader hears of the Vista family's final message; the blank before ENTER is the code page's
// ideographic space, or two inverted exclamation marks where the code page is not 936.
std::wstring VistaDoneHeard() {
    std::wstring blank = ::GetACP() == 936 ? L"\u3000" : L"\u00A1\u00A1";
    return L"Congratulations!Kelvo Braille Display setup has been completed successfully,please press" + blank +
           L"ENTER to finish.\r\nThen restart Window-eyes.";
}
}  // namespace

// Window-Eyes lies in a short folder of its own, so its Path value stays below the registry reader's limit. Under
// Wine every scenario hears the setup's own voice through the recording voice, and it must stay silent unless the
// scenario expects it to speak.
class BeginWindowEyes : public BeginScenario {
protected:
    void SetUp() override {
        BeginScenario::SetUp();
        RemoveTree(kRoot);
        if (UnderWine()) UseRecordingVoice(VoiceLog());
    }
    void TearDown() override {
        if (UnderWine() && !m_speaks) {
            EXPECT_TRUE(SaidTexts(VoiceLog()).empty()) << "the setup speaks only once the user closed Window-Eyes";
        }
        RemoveTree(kRoot);
        BeginScenario::TearDown();
    }

    std::string VoiceLog() const { return m_sandbox.Path("voice.log"); }
    // What the setup's own voice has said, once it has said something.
    std::vector<std::string> WaitSaid() const {
        for (DWORD start = ::GetTickCount(); SaidTexts(VoiceLog()).empty() && ::GetTickCount() - start < kTimeoutMs;)
            ::Sleep(20);
        return SaidTexts(VoiceLog());
    }
    // The scenario is about the setup's own voice, which the bench hears under Wine only: false elsewhere. A skip ends
    // the test only where GTEST_SKIP stands in the test body itself, so the caller skips.
    bool ExpectSpeech() {
        m_speaks = true;
        return UnderWine();
    }
    // Under Wine, the setup's own voice speaks this and nothing else (elsewhere nothing is checked).
    void ExpectSpoken(const std::string& text) {
        if (!UnderWine()) return;
        m_speaks = true;
        EXPECT_EQ(std::vector<std::string>{text}, WaitSaid());
    }
    bool m_speaks = false;

    static constexpr const char* kRoot = machine::kWindowEyesRoot;
    static std::string Folder() { return std::string(kRoot) + "\\" + LocalName("Window-Eyes", L"读屏软件"); }
    std::string Shipped(const std::string& file) const { return m_sandbox.Setup() + "\\update\\" + file; }

    // Window-Eyes registered with its version, and the settings folders given made.
    void Install(const char* version, std::initializer_list<const char*> settingsFolders) {
        SetMachineString(kWindowEyesKey, "Path", Folder());
        SetMachineString(kWindowEyesKey, "Version", version);
        MakeFolders(Folder());
        for (const char* folder : settingsFolders) MakeFolders(Folder() + "\\" + folder);
    }

    void ExpectCopied(const std::string& shipped, const std::string& destination) {
        EXPECT_EQ(ReadFileBytes(Shipped(shipped)), ReadFileBytes(destination)) << destination;
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), FileAttributes(destination)) << destination;
    }

    // Runs to the first prompt after "Begin" with the display already registered in the NT family.
    Window BeginWithPort(Wizard& wizard, const char* port = "COM5") {
        SetMachineString(kNtDeviceKey, "PortName", port);
        Window main;
        StartAndBegin(wizard, main);
        return NextPrompt(wizard);
    }
};

TEST_F(BeginWindowEyes, MissingOrUnsupportedIsLeftAloneAndThePortAnnounced) {
    for (const char* version : {"", "8.0", "7.12", "5.5"}) {
        SCOPED_TRACE(version);
        ResetMachine();
        if (*version) Install(version, {"users\\default"});
        m_previous = nullptr;
        Wizard wizard(Setup());
        EXPECT_EQ(Announcement("COM5"), AnswerEnter(BeginWithPort(wizard)));
        EXPECT_EQ(kFinished, Next(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
        EXPECT_FALSE(FileExists(Folder() + "\\users\\default\\WINEYES.INI"));
        EXPECT_FALSE(FileExists(Folder() + "\\webrloem107.dll"));
    }
}

TEST_F(BeginWindowEyes, PathWithoutVersionEndsBeforeTheDeviceWait) {
    Install("7.0", {"users\\default"});
    DeleteMachineValue(kWindowEyesKey, "Version");
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(kReadingFailed, Next(wizard)) << "told before any connect prompt";
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_NE("", InstallerRuns()) << "the driver was installed first";
}

TEST_F(BeginWindowEyes, SevenNotRunningIsConfiguredWithoutAnnouncingThePort) {
    Install("7.1", {"users\\default", "users.bak\\default"});
    std::string ini = Folder() + "\\users\\default\\WINEYES.INI";
    WriteFileBytes(ini, "[speech]\r\nrate=55\r\n[driver]\r\nbraillebaud=38400\r\nbrailleport=COM1\r\n");
    Wizard wizard(Setup());
    EXPECT_EQ(kNtDone, AnswerEnter(BeginWithPort(wizard, "COM7"))) << "no announcement, no close prompt";
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_EQ("COM7", IniValue(ini, "driver", "brailleport"));
    EXPECT_EQ("oem107", IniValue(ini, "driver", "brailledrivername"));
    EXPECT_EQ("38400", IniValue(ini, "driver", "braillebaud"));
    EXPECT_EQ("55", IniValue(ini, "speech", "rate"));
    EXPECT_FALSE(FileExists(Folder() + "\\users.bak\\default\\WINEYES.INI"));
    ExpectCopied("webrloem107.dll", Folder() + "\\webrloem107.dll");
    ExpectCopied("WindowEyes7\\braille.ini", Folder() + "\\users\\default\\braille.ini");
    EXPECT_FALSE(FileExists(Folder() + "\\bdisplay.exe"));
}

// The Vista family's final message is read back as a screen reader reads it, under the code page of the run.
TEST_F(BeginWindowEyes, SixOnVistaEndsWithTheVistaMessageAsItIsHeard) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
    SetMachineString(kVistaDeviceKey, "PortName", "COM8");
    Install("6.5", {"Users\\Default"});
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    Window done = NextPrompt(wizard);
    PromptReading reading = ReadPrompt(done);
    EXPECT_EQ(VistaDoneHeard(), reading.fieldText);
    if (reading.msaaAnswered) {
        EXPECT_EQ(VistaDoneHeard(), reading.msaaValue);
    }
    AnswerEnter(done);
    EXPECT_EQ(4u, wizard.WaitExit());
    std::string ini = Folder() + "\\Users\\Default\\WINEYES.INI";
    EXPECT_EQ("COM8", IniValue(ini, "driver", "brailleport"));
    EXPECT_EQ("webrloem107", IniValue(ini, "driver", "brailledrivername"));
    ExpectCopied("webrloem107.dll", Folder() + "\\webrloem107.dll");
    ExpectCopied("bdisplay.exe", Folder() + "\\bdisplay.exe");
    ExpectCopied("WindowEyes6\\braille.ini", Folder() + "\\Users\\Default\\braille.ini");
}

TEST_F(BeginWindowEyes, FailedStepTellsTheFamilysCode) {
    {
        SCOPED_TRACE("Vista family, version 7 without either settings folder");
        SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
        SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
        SetMachineString(kVistaDeviceKey, "PortName", "COM8");
        Install("7.0", {});
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        EXPECT_EQ(std::string(kWindowEyesFailed) + "VI71", Next(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
        EXPECT_FALSE(FileExists(Folder() + "\\webrloem107.dll")) << "no copy after the failed settings";
    }
    ResetMachine();
    m_previous = nullptr;
    {
        SCOPED_TRACE("NT family, version 6 without its companion to ship");
        Install("6", {"Users\\Default"});
        ASSERT_TRUE(::DeleteFileA(Shipped("bdisplay.exe").c_str()));
        Wizard wizard(Setup());
        EXPECT_EQ(std::string(kWindowEyesFailed) + "NT62", AnswerEnter(BeginWithPort(wizard)));
        EXPECT_EQ(4u, wizard.WaitExit());
        ExpectCopied("webrloem107.dll", Folder() + "\\webrloem107.dll");
        EXPECT_FALSE(FileExists(Folder() + "\\Users\\Default\\braille.ini")) << "the steps after it do not run";
    }
}

// Once the user has closed Window-Eyes at the setup's request no screen reader runs, so the setup speaks its final
// message itself: after WindowEyes.wav has played (here a long one), and only until the user closes the message.
TEST_F(BeginWindowEyes, RunningIsWaitedForUntilItsWindowClosesThenTheEndIsSpoken) {
    constexpr unsigned kSoundMs = 3000;
    Install("7.11", {"users\\default"});
    WriteFileBytes(Shipped("WindowEyes.wav"), SilentWave(kSoundMs));
    WindowEyesProgram windowEyes;
    Wizard wizard(Setup());
    Window close = BeginWithPort(wizard);
    EXPECT_EQ(kClosePrompt, close.Control(kMessageField).Text());
    EXPECT_EQ(kClosePrompt, AnswerEnter(close));
    Window again = NextPrompt(wizard);
    EXPECT_EQ(kClosePrompt, again.Control(kMessageField).Text()) << "asked again while the window is open";
    EXPECT_FALSE(FileExists(Folder() + "\\users\\default\\WINEYES.INI")) << "nothing written while it runs";
    DWORD closed = ::GetTickCount();
    windowEyes.Close();
    EXPECT_TRUE(again.WaitGone(1500)) << "the watch timer closes the prompt once the window is gone";
    Window done = NextPrompt(wizard);
    EXPECT_EQ(kNtDone, done.Control(kMessageField).Text());
    ExpectSpoken(kNtDone);
    if (UnderWine()) {
        std::vector<VoiceCall> calls = VoiceCalls(VoiceLog());
        ASSERT_FALSE(calls.empty());
        EXPECT_GE(calls.back().tick - closed, kSoundMs) << "spoken once WindowEyes.wav has played, not over it";
    }
    AnswerEnter(done);
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_EQ("COM5", IniValue(Folder() + "\\users\\default\\WINEYES.INI", "driver", "brailleport"));
    if (UnderWine()) {
        EXPECT_EQ("stop", VoiceCalls(VoiceLog()).back().what) << "closing the message stops its speech";
    }
}

// A program that shuts down destroys its main window first and ends later: Window-Eyes still holds its braille driver
// then, and writes its settings as it exits. The setup changes its files only once its process has ended, in either
// family, whatever window is in the foreground meanwhile; also once a Window-Eyes the user started again while the
// prompt was up has ended, a new process behind a new window, and where its process refuses to be opened, as another
// account's refuses the elevated setup on Windows (Wine checks no process security, so only the kit meets the refusal).
TEST_F(BeginWindowEyes, ItsFilesChangeOnlyOnceItsProcessHasEnded) {
    m_speaks = true;  // the final message is spoken; which scenario checks what
    struct Row {
        const char* name;
        bool vista;
        bool holdsDriver;
        bool savesSettings;
        bool foregroundBelow;  // another program's window in the foreground, below the prompt
        bool restarted;        // the Window-Eyes that closes was started while the prompt was up, after the first
        bool refusesOpen;
    };
    const Row rows[] = {
        {"NT family, its braille driver held 2 s after its window", false, true, false, false, false, false},
        {"NT family, its settings written 2 s after its window", false, false, true, true, false, false},
        {"Vista family, its braille driver held 2 s after its window", true, true, false, false, false, false},
        {"Vista family, its settings written 2 s after its window", true, false, true, false, false, false},
        {"NT family, started again while the prompt is up, its new process holding its braille driver 2 s after its "
         "window",
         false, true, false, false, true, false},
        {"NT family, its process refusing to be opened, its braille driver held 2 s after its window", false, true,
         false, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        RemoveTree(kRoot);
        m_previous = nullptr;
        if (row.vista) {
            SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
            SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
        }
        SetMachineString(row.vista ? kVistaDeviceKey : kNtDeviceKey, "PortName", "COM5");
        Install("7.0", {"users\\default"});
        std::string ini = Folder() + "\\users\\default\\WINEYES.INI";
        std::string driver = Folder() + "\\webrloem107.dll";
        WriteFileBytes(ini, "[driver]\r\nbrailleport=COM1\r\n");
        WriteFileBytes(driver, "the braille driver of an earlier version");
        WindowEyesShutdown shutdown{2000, row.holdsDriver ? driver : "", row.savesSettings ? ini : "", row.refusesOpen};

        std::unique_ptr<WindowEyesProgram> first;
        if (row.restarted) first = std::make_unique<WindowEyesProgram>();
        std::unique_ptr<WindowEyesProgram> running;
        if (!row.restarted) running = std::make_unique<WindowEyesProgram>(shutdown);
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        Window close = NextPrompt(wizard);
        EXPECT_EQ(kClosePrompt, close.Control(kMessageField).Text());
        if (row.restarted) {
            running = std::make_unique<WindowEyesProgram>(shutdown);
            // A user's moment between starting the new one and closing the old: the setup looks twice a second, and
            // must see the new window at one of those looks, not by the luck of one falling between the two closes.
            ::Sleep(1500);
            first->Close();
            EXPECT_NE(0u, first->WaitEnded());
            EXPECT_TRUE(close.Exists()) << "the prompt closed while Window-Eyes, started again, was running";
        }
        WindowEyesProgram& windowEyes = *running;
        std::unique_ptr<OtherWindow> folder;
        if (row.foregroundBelow) {
            folder = std::make_unique<OtherWindow>("Downloads", true);
            folder->SinkToBottom();
        }
        windowEyes.Close();
        EXPECT_TRUE(close.WaitGone());
        DWORD waited = ::GetTickCount() - windowEyes.WindowGoneAt();
        EXPECT_FALSE(windowEyes.Running()) << "the prompt closed while Window-Eyes was still shutting down";
        std::printf("waited %lu ms after Window-Eyes' window was gone\n", static_cast<unsigned long>(waited));
        Window last = NextPrompt(wizard);
        EXPECT_EQ(row.vista ? machine::Ansi(VistaDoneHeard()) : kNtDone, last.Control(kMessageField).Text());
        AnswerEnter(last);
        EXPECT_EQ(4u, wizard.WaitExit());
        EXPECT_EQ("COM5", IniValue(ini, "driver", "brailleport"));
        ExpectCopied("webrloem107.dll", driver);
    }
}

// A window of that title whose process goes on (a folder window named so, here the bench's own) holds the user up
// no longer than ten seconds after it has gone.
TEST_F(BeginWindowEyes, WindowOfThatNameWhoseProcessGoesOnHoldsTheUpdateUpTenSecondsAtMost) {
    m_speaks = true;  // the final message is spoken; which scenario checks what
    Install("7.0", {"users\\default"});
    OtherWindow folder("Window-Eyes");
    Wizard wizard(Setup());
    Window close = BeginWithPort(wizard);
    folder.Close();
    DWORD gone = ::GetTickCount();
    EXPECT_FALSE(close.WaitGone(5000)) << "its process might still be shutting down";
    EXPECT_TRUE(close.WaitGone(10000));
    std::printf("waited %lu ms after the window was gone\n", static_cast<unsigned long>(::GetTickCount() - gone));
    EXPECT_EQ(kNtDone, AnswerEnter(NextPrompt(wizard)));
    EXPECT_EQ(4u, wizard.WaitExit());
}

// The error message is spoken as its prompt opens, with its code, in either family, and so is the Vista family's
// final message with its ideographic space where the code page has one; a screen reader that still runs, or a Windows
// without speech, keeps the setup silent, and it ends as it always has.
TEST_F(BeginWindowEyes, ClosedAtItsRequestTheSetupSpeaksUnlessAScreenReaderRuns) {
    if (!ExpectSpeech()) GTEST_SKIP() << "the setup's own voice is heard through a recording voice under Wine only";
    struct Row {
        const char* name;
        bool vista;
        bool fails;  // a folder where the braille driver goes: its copy fails
        bool screenReader;
        bool voiceInstalled;
    };
    const Row rows[] = {
        {"NT family, the update fails", false, true, false, true},
        {"Vista family, the update fails", true, true, false, true},
        {"Vista family, the update succeeds", true, false, false, true},
        {"another screen reader still runs", false, true, true, true},
        {"no speech on this Windows", false, true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        RemoveTree(kRoot);
        m_previous = nullptr;
        ::DeleteFileA(VoiceLog().c_str());
        UseRecordingVoice(VoiceLog(), row.voiceInstalled);
        if (row.screenReader) SetScreenReaderFlag(true);
        if (row.vista) {
            SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
            SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
        }
        SetMachineString(row.vista ? kVistaDeviceKey : kNtDeviceKey, "PortName", "COM5");
        Install("7.0", {"users\\default"});
        if (row.fails) MakeFolders(Folder() + "\\webrloem107.dll");
        std::string message =
            row.fails ? std::string(kWindowEyesFailed) + (row.vista ? "VI2" : "NT2") : machine::Ansi(VistaDoneHeard());
        std::vector<std::string> spoken;
        if (!row.screenReader && row.voiceInstalled) spoken.push_back(message);

        WindowEyesProgram windowEyes;
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        Window close = NextPrompt(wizard);
        windowEyes.Close();
        EXPECT_TRUE(close.WaitGone());
        Window last = NextPrompt(wizard);
        EXPECT_EQ(message, last.Control(kMessageField).Text());
        EXPECT_EQ(spoken, spoken.empty() ? SaidTexts(VoiceLog()) : WaitSaid());
        AnswerEnter(last);
        EXPECT_EQ(4u, wizard.WaitExit());
    }
}

// The setup is run from a download folder that web pages have filled: DLLs under the names of system DLLs that a
// dialog program, its theming, comctl32, the accessibility layer, the sounds and the child process may load by
// name lie beside it. Through a whole Begin (the connect wait with a chime, the Window-Eyes wait, the update, the
// final message in the setup's own voice) none is loaded. Windows searches the program's folder first by itself; Wine
// only for the names in its overrides, which it takes from the Unix environment (CTest sets them through
// KELVO_DLL_OVERRIDES, "name,name=n,b"), so this program cannot set them for the setup it starts. version.dll and
// imm32.dll are left out: Wine's own user32 imports both at process start, before any line of a program can run, so no
// program keeps them out under Wine (Windows' user32 does not import version.dll, and imm32.dll is one of its
// KnownDLLs, which always come from the system folder).
TEST_F(BeginWindowEyes, NoDllPlantedBesideTheSetupIsLoaded) {
    const std::vector<std::string> planted = {"uxtheme", "dwmapi",   "msimg32", "comctl32", "cryptbase",
                                              "propsys", "userenv",  "apphelp", "oleacc",   "winmm",
                                              "msacm32", "mmdevapi", "msctf"};
    if (!PlantedDllsAreSearched(planted)) GTEST_SKIP() << "under Wine it runs only with KELVO_DLL_OVERRIDES";
    PlantDlls(planted, m_sandbox.Setup());
    Install("7.0", {"users\\default"});
    WindowEyesProgram windowEyes;
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    Window connect = NextPrompt(wizard);
    EXPECT_FALSE(connect.WaitGone(4000)) << "the connect prompt waits through a chime";
    SetMachineString(kNtDeviceKey, "PortName", "COM6");
    EXPECT_TRUE(connect.WaitGone());
    Window close = NextPrompt(wizard);
    EXPECT_EQ(kClosePrompt, close.Control(kMessageField).Text());
    windowEyes.Close();
    EXPECT_TRUE(close.WaitGone());
    Window done = NextPrompt(wizard);
    ExpectSpoken(kNtDone);  // COM and the speech server, loaded after start-up, load nothing planted either
    EXPECT_EQ(kNtDone, AnswerEnter(done));
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_EQ("COM6", IniValue(Folder() + "\\users\\default\\WINEYES.INI", "driver", "brailleport"));
    EXPECT_EQ(std::vector<std::string>{}, LoadedDlls(planted, m_sandbox.Setup())) << "loaded in place of a system DLL";
}

TEST_F(BeginWindowEyes, TitleThatMerelyHoldsTheNameIsNotItsWindow) {
    Install("7.0", {"users\\default"});
    OtherWindow editor("Window-Eyes - settings.txt");
    Wizard wizard(Setup());
    EXPECT_EQ(kNtDone, AnswerEnter(BeginWithPort(wizard)));
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_TRUE(editor.Exists());
}

TEST_F(BeginWindowEyes, EscapeInTheClosePromptEndsWithFourAndWritesNothing) {
    Install("7.0", {"users\\default"});
    WindowEyesProgram windowEyes;
    Wizard wizard(Setup());
    EXPECT_EQ(kClosePrompt, AnswerEscape(BeginWithPort(wizard)));
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_FALSE(FileExists(Folder() + "\\users\\default\\WINEYES.INI"));
    EXPECT_TRUE(windowEyes.Running());
}

TEST_F(BeginWindowEyes, FailedSettingsUpdateStopsBeforeWindowEyes) {
    Install("7.0", {"users\\default"});
    SetMachineString("SOFTWARE\\Dolphin", "FullAccess", "1");
    SetMachineString("SOFTWARE\\Dolphin\\DolServe", "Orpheus2", std::string(kRoot) + "\\dolphin\\o.exe");
    Wizard wizard(Setup());
    EXPECT_EQ(std::string(kDolphinFailed) + "D2", AnswerEnter(BeginWithPort(wizard)));
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_FALSE(FileExists(Folder() + "\\users\\default\\WINEYES.INI"));
}

// The prompts as a user meets them on a real PC: nothing lets the setup take the foreground, the keys are a keyboard's
// (they go to the foreground window), and each prompt must be the foreground window with the focus in its field within
// a second of opening, also after another program had the user's keys. Under Wine every window gets the foreground it
// asks for, so these pass whatever the setup does; on Windows (the test kit) they decide it.
class RealInput : public BeginWindowEyes {
protected:
    StartOptions UserStart() const {
        StartOptions options = Setup();
        options.grantForeground = false;
        return options;
    }
    static bool InFront(HWND window) {
        return WaitUntil([window] { return ::GetForegroundWindow() == window; }, 1000);
    }
    // The main window in front, as a user's start from Explorer opens it (a click brings it where it did not), and
    // ENTER on "Begin", which has the focus.
    void BeginAsAUser(Wizard& wizard) {
        Window main = wizard.WaitMain();
        ASSERT_TRUE(main.Exists());
        if (!InFront(main.Handle())) ClickWithTheMouse(main.Handle());
        ASSERT_TRUE(InFront(main.Handle())) << "the main window is not in front, even after a click on it";
        TypeKey(VK_RETURN);
    }
    // The prompt, in front, answered with ENTER from the keyboard.
    void AnswerInFront(const Window& prompt, const std::string& text) {
        EXPECT_EQ(text, prompt.Control(kMessageField).Text());
        EXPECT_TRUE(WaitInFront(prompt)) << "the prompt opened behind another window: " << text;
        TypeKey(VK_RETURN);
        EXPECT_TRUE(prompt.WaitGone()) << "ENTER from the keyboard did not reach the prompt: " << text;
    }
    void AnswerInFront(Wizard& wizard, const std::string& text) { AnswerInFront(NextPrompt(wizard), text); }
    // From Begin to the end, the foreground never passes to another program's window (left open beneath the setup)
    // between two of the setup's windows.
    static void ExpectNeverIn(ForegroundSampler& sampler, const OtherWindow& other) {
        std::vector<HWND> stays = sampler.Stop();
        std::printf("the foreground sampled %u times, %u stays\n", sampler.Samples(),
                    static_cast<unsigned>(stays.size()));
        EXPECT_EQ(stays.end(), std::find(stays.begin(), stays.end(), other.Handle()))
            << "the foreground passed to another program's window between two of the setup's windows";
    }
};

// The installer's window closes, and the setup's main window, which started it, gets the activation back. While the
// installer works on for 8 s after its window (the second row), every window the setup shows answers its messages.
TEST_F(RealInput, AfterADriverInstallerWithAWindowTheNextPromptIsInFront) {
    ASSERT_TRUE(::CopyFileA((ProgramFolder() + "\\windowed-installer.exe").c_str(),
                            (m_sandbox.Setup() + "\\driverfornt\\Kelvo Braille display driver.exe").c_str(), FALSE));
    for (const char* workMs : {"", "8000"}) {
        SCOPED_TRACE(*workMs ? "the installer works 8 s after its window" : "the installer ends with its window");
        ResetMachine();
        m_previous = nullptr;
        SetMachineString(kNtDeviceKey, "PortName", "COM5");
        ::SetEnvironmentVariableA("KELVO_INSTALLER_WORK_MS", *workMs ? workMs : nullptr);
        Wizard wizard(UserStart());
        ::SetEnvironmentVariableA("KELVO_INSTALLER_WORK_MS", nullptr);
        BeginAsAUser(wizard);
        {
            HWND installer = nullptr;
            EXPECT_TRUE(
                WaitUntil([&] { return (installer = ::FindWindowA(nullptr, "Kelvo driver installer")) != nullptr; }));
            if (!InFront(installer)) {
                // Under Wine the installer's window does not take the foreground from a setup that reads its messages
                // meanwhile (Wine's own activation; Windows lets a program started by the foreground process take
                // it); a click brings it, as a user's would. On Windows it must open in front.
                EXPECT_TRUE(UnderWine()) << "the installer's window opened behind another window: \""
                                         << Window(::GetForegroundWindow()).Text() << "\" is in front";
                ClickWithTheMouse(installer);
                EXPECT_TRUE(InFront(installer)) << "a click brings the installer's window to the front";
            }
            TypeKey(VK_RETURN);
        }
        unsigned asked = 0;
        for (DWORD start = ::GetTickCount();
             wizard.Running() && wizard.Windows("Kelvo:Caution").empty() && ::GetTickCount() - start < kTimeoutMs;) {
            for (HWND shown : wizard.ShownWindows()) {
                EXPECT_TRUE(Answers(shown, 2000)) << "a window of the setup did not answer within 2 s";
                ++asked;
            }
            ::Sleep(200);
        }
        std::printf("asked the setup's shown windows %u times while the installer ran\n", asked);
        AnswerInFront(wizard, Announcement("COM5"));
        AnswerInFront(wizard, kFinished);
        EXPECT_EQ(4u, wizard.WaitExit());
    }
}

// No display yet: a real ENTER on the NT family's retry prompt, whose key-up goes to whatever window is active once
// the prompt is gone; 500 ms later the next retry prompt must still open in front. Then the display comes, and the
// announcement and the final message follow.
TEST_F(RealInput, AfterARealEnterOnTheRetryPromptTheNextRetryPromptIsInFront) {
    OtherWindow folder("Downloads", true);
    Wizard wizard(UserStart());
    BeginAsAUser(wizard);
    ForegroundSampler sampler;
    AnswerInFront(wizard, kNtConnect);
    AnswerInFront(wizard, kNtConnect);
    AnswerInFront(wizard, kNtConnect);
    Window retry = NextPrompt(wizard);
    EXPECT_TRUE(WaitInFront(retry));
    SetMachineString(kNtDeviceKey, "PortName", "COM6");
    EXPECT_TRUE(retry.WaitGone(2000)) << "the watch timer closes it without a key";
    AnswerInFront(wizard, Announcement("COM6"));
    AnswerInFront(wizard, kFinished);
    EXPECT_EQ(4u, wizard.WaitExit());
    ExpectNeverIn(sampler, folder);
}

// The Vista family's connect prompt waits for ENTER; the port is there, Window-Eyes is not running, so Updating.wav
// plays (synchronously, 2 s) before the final message, which must open in front.
TEST_F(RealInput, AfterTheUpdatingSoundTheFinalMessageIsInFront) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
    Install("7.0", {"users\\default"});
    WriteFileBytes(Shipped("Updating.wav"), SilentWave(2000));
    Wizard wizard(UserStart());
    BeginAsAUser(wizard);
    Window connect = NextPrompt(wizard);
    SetMachineString(kVistaDeviceKey, "PortName", "COM5");
    AnswerInFront(connect, kVistaConnect);
    AnswerInFront(wizard, machine::Ansi(VistaDoneHeard()));
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_EQ("COM5", IniValue(Folder() + "\\users\\default\\WINEYES.INI", "driver", "brailleport"));
}

TEST_F(RealInput, AfterWindowEyesIsClosedWithItsOwnKeysTheLastPromptIsInFront) {
    m_speaks = true;  // the final message is spoken too
    Install("7.0", {"users\\default"});
    SetMachineString(kNtDeviceKey, "PortName", "COM5");
    std::string ini = Folder() + "\\users\\default\\WINEYES.INI";
    WindowEyesProgram windowEyes({1500, Folder() + "\\webrloem107.dll", ini});
    Wizard wizard(UserStart());
    BeginAsAUser(wizard);
    Window close = NextPrompt(wizard);
    EXPECT_TRUE(WaitInFront(close));
    ClickWithTheMouse(windowEyes.Handle());
    EXPECT_TRUE(InFront(windowEyes.Handle())) << "a click brings Window-Eyes to the front";
    TypeAltKey(VK_F4);
    EXPECT_TRUE(close.WaitGone());
    AnswerInFront(wizard, kNtDone);
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_EQ("COM5", IniValue(ini, "driver", "brailleport"));
}

// Another program takes the foreground without the user's input (as a notification can) and lies below the prompt.
TEST_F(RealInput, WatchClosesItsPromptBelowAnotherProgramsForegroundWindowAndTheNextIsInFront) {
    Wizard wizard(UserStart());
    BeginAsAUser(wizard);
    Window connect = NextPrompt(wizard);
    EXPECT_TRUE(WaitInFront(connect));
    OtherWindow folder("Downloads", true);
    if (!InFront(folder.Handle())) {
        GTEST_SKIP() << "Windows lets this program take the foreground only with the user's input, after which no "
                        "program may take it back";
    }
    folder.SinkToBottom();
    SetMachineString(kNtDeviceKey, "PortName", "COM6");
    EXPECT_TRUE(connect.WaitGone(2000)) << "the watch timer closes it without a key";
    AnswerInFront(wizard, Announcement("COM6"));
    AnswerInFront(wizard, kFinished);
    EXPECT_EQ(4u, wizard.WaitExit());
}

// The Vista family's update of the other screen reader, reached only through "Begin": its settings go to the
// registered owner's profile on C:, its driver files to the folder that its ApplicationIcon value names. The
// installation lies in a short folder of its own, so the value stays below the registry reader's limit.
class BeginVista : public BeginScenario {
protected:
    static constexpr const char* kRoot = machine::kVistaRoot;
    static std::string InstallRoot() { return std::string(kRoot) + "\\" + LocalName("programs", L"读屏程序"); }
    static std::string Owner() { return machine::OwnerName(); }
    static std::string Profile() { return machine::OwnerProfile(); }

    void SetUp() override {
        BeginScenario::SetUp();
        RemoveTree(kRoot);
        RemoveTree(Profile());
        SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
        SetMachineString(kWindowsNtKey, "RegisteredOwner", Owner());
        SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
        SetMachineString(kVistaDeviceKey, "PortName", "COM4");
        SetMachineString("SOFTWARE\\Wow6432Node\\Dolphin", "FullAccess", "1");
        MakeFolders(InstallRoot() + "\\Dolphin\\Sam");
        MakeFolders(UserData() + "\\Hal1101\\Settings");
    }
    void TearDown() override {
        RemoveTree(kRoot);
        RemoveTree(Profile());
        BeginScenario::TearDown();
    }

    static std::string UserData() { return Profile() + "\\AppData\\Local\\dolphin"; }
    static std::string Settings() { return UserData() + "\\Hal1101\\Settings\\Kelvo.bk1"; }
    static std::string DriverFolder() { return InstallRoot() + "\\Dolphin\\Sam\\kelvo"; }
    std::string Shipped(const std::string& file) const { return m_sandbox.Setup() + "\\updatedolphin\\" + file; }

    void SetIcon(const std::string& value) {
        SetMachineString("SOFTWARE\\Wow6432Node\\Dolphin\\ScriptEditor\\Capabilities", "ApplicationIcon", value);
    }

    // Begin, then the prompts answered with ENTER; their texts.
    std::vector<std::string> Run() {
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        std::vector<std::string> said;
        while (wizard.Running()) {
            Window prompt = wizard.NextPromptOrEnd(m_previous);
            if (!prompt.Handle()) break;
            m_previous = prompt.Handle();
            said.push_back(AnswerEnter(prompt));
        }
        EXPECT_EQ(4u, wizard.WaitExit());
        return said;
    }
};

TEST_F(BeginVista, UpdatesTheOwnersSettingsAndTheSamFolderThenAnnouncesThePort) {
    SetIcon(InstallRoot() + "\\Dolphin\\Hal1101\\s.exe");
    ASSERT_TRUE(::SetFileAttributesA(Shipped("kelvo.bk1").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ((std::vector<std::string>{Announcement("COM4"), kFinished}), Run());
    EXPECT_EQ(ReadFileBytes(Shipped("kelvo.bk1")), ReadFileBytes(Settings()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), FileAttributes(Settings()));
    for (const char* file :
         {"kelvo00001.ini", "kelvo00039.INI", "kelvo00044.ini", "kelvo00052.ini", "KELVO.dll", "kelvo.sdi"}) {
        std::string copy = DriverFolder() + "\\" + file;
        EXPECT_EQ(ReadFileBytes(Shipped(std::string("kelvo\\") + file)), ReadFileBytes(copy)) << file;
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), FileAttributes(copy)) << file;
    }
}

TEST_F(BeginVista, IconThatBeginsWithItsHalFolderTellsD7) {
    SetIcon("Hal1101\\s.exe");
    EXPECT_EQ((std::vector<std::string>{std::string(kDolphinFailed) + "D7"}), Run());
    EXPECT_FALSE(FileExists(Settings()));
    EXPECT_FALSE(FolderExists(DriverFolder()));
}

TEST_F(BeginVista, IconWithoutTheInstallationsNameTellsD8AfterTheSettings) {
    SetIcon(InstallRoot() + "\\Reader\\Hal1101\\s.exe");
    EXPECT_EQ((std::vector<std::string>{std::string(kDolphinFailed) + "D8"}), Run());
    EXPECT_EQ(ReadFileBytes(Shipped("kelvo.bk1")), ReadFileBytes(Settings()));
    EXPECT_FALSE(FolderExists(DriverFolder()));
}
