// The main setup window: the family decided at start-up, the port probe, the About dialog, and leaving.
#include "Scenario.h"

using namespace bench;

namespace {
constexpr char kMainTitle[] = "setup 3.09.12.16";
constexpr char kAboutTitle[] = "关于 Kelvo Braille display setup";
}  // namespace

class MainWindow : public Scenario {
protected:
    // Opens the window with the product name under the Windows NT key and reads the port button's state.
    bool ReadPortEnabledWith(const char* productName, const char* deviceKey) {
        ResetMachine();
        SetMachineString(kWindowsNtKey, "ProductName", productName);
        SetMachineString(deviceKey, "PortName", "COM3");
        Wizard wizard(Setup());
        Window main = wizard.WaitMain();
        bool enabled = main.Control(kReadPort).Enabled();
        main.Click(kQuit);
        EXPECT_TRUE(main.WaitGone());
        wizard.WaitExit();
        return enabled;
    }
};

TEST_F(MainWindow, OpensWithItsControlsAndBeginFocused) {
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    ASSERT_TRUE(main.Exists());
    EXPECT_EQ(0, main.Style() & WS_SYSMENU) << "no close button";
    EXPECT_NE(0, main.ExStyle() & WS_EX_APPWINDOW);
    EXPECT_EQ("Begin", main.Control(kBegin).Text());
    EXPECT_EQ("Read Virtual COM Port", main.Control(kReadPort).Text());
    EXPECT_EQ("Quit", main.Control(kQuit).Text());
    // Quit stays the dialog's default button; the focused Begin only looks like it while it has the focus.
    EXPECT_EQ(MAKELONG(kQuit, DC_HASDEFID), ::SendMessageA(main.Handle(), DM_GETDEFID, 0, 0));
    EXPECT_FALSE(main.Control(kButton3).Visible());
    EXPECT_FALSE(main.Control(kReadPort).Enabled()) << "no display registered";
    EXPECT_EQ(main.Control(kBegin).Handle(), main.Focus().Handle());
    main.Click(kQuit);
    EXPECT_TRUE(main.WaitGone());
    EXPECT_NE(STILL_ACTIVE, wizard.WaitExit());
}

TEST_F(MainWindow, EnterOnTheFocusedBeginStartsTheSequence) {
    SetMachineString(kNtDeviceKey, "PortName", "COM3");
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    ASSERT_EQ(main.Control(kBegin).Handle(), main.Focus().Handle());
    main.PressEnter();
    Window prompt = wizard.WaitPrompt();
    EXPECT_EQ("Kelvo Braille Display at COM3   \r\nPlease press ENTER to continue", AnswerEnter(prompt));
    AnswerEnter(wizard.WaitPrompt(prompt.Handle()));
    EXPECT_EQ(4u, wizard.WaitExit());
}

TEST_F(MainWindow, FamilyComesFromTheProductNameAndPicksTheDeviceKey) {
    // A case-sensitive "Vista" anywhere makes the Vista family, which reads the key without Mi_00.
    EXPECT_TRUE(ReadPortEnabledWith("Windows Vista (TM) Ultimate", kVistaDeviceKey));
    EXPECT_FALSE(ReadPortEnabledWith("Windows Vista (TM) Ultimate", kNtDeviceKey));
    for (const char* nt : {"Microsoft Windows XP", "Windows 7 Ultimate", "Windows Server 2008", "Windows vista"}) {
        EXPECT_TRUE(ReadPortEnabledWith(nt, kNtDeviceKey)) << nt;
        EXPECT_FALSE(ReadPortEnabledWith(nt, kVistaDeviceKey)) << nt;
    }
}

TEST_F(MainWindow, FallbackProductNameDecidesWhenTheNtKeyHasNone) {
    DeleteMachineValue(kWindowsNtKey, "ProductName");
    SetMachineString(kWindowsKey, "ProductName", "Windows Vista");
    SetMachineString(kVistaDeviceKey, "PortName", "COM5");
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    EXPECT_TRUE(main.Control(kReadPort).Enabled());
    main.PressEscape();
    EXPECT_TRUE(main.WaitGone());
    wizard.WaitExit();
}

TEST_F(MainWindow, NoProductNameAtAllShowsTheMessageBoxFirstThenTheNtFamily) {
    DeleteMachineValue(kWindowsNtKey, "ProductName");
    SetMachineString(kNtDeviceKey, "PortName", "COM4");
    Wizard wizard(Setup());
    Window box = wizard.WaitWindow("Kelvo Braille display setup");
    ASSERT_TRUE(box.Exists());
    EXPECT_TRUE(wizard.Windows(kMainTitle).empty() || !Window(wizard.Windows(kMainTitle)[0]).Visible())
        << "the message box comes before the main window is visible";
    bool saysIt = false;
    for (HWND child = ::GetWindow(box.Handle(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (Window(child).Text() == "get windows version failed") saysIt = true;
    }
    EXPECT_TRUE(saysIt);
    box.PressEnter();
    Window main = wizard.WaitMain();
    EXPECT_TRUE(main.Control(kReadPort).Enabled()) << "the NT family's key decides";
    main.PressEscape();
    EXPECT_TRUE(main.WaitGone());
    wizard.WaitExit();
}

TEST_F(MainWindow, PortNameOfEightyCharactersCountsAsMissing) {
    SetMachineString(kNtDeviceKey, "PortName", std::string(80, 'C'));
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    EXPECT_FALSE(main.Control(kReadPort).Enabled());
    main.PressEscape();
    EXPECT_TRUE(main.WaitGone());
    wizard.WaitExit();
}

TEST_F(MainWindow, QuitEnterOnQuitAndEscapeAllLeaveWithoutAPrompt) {
    {
        Wizard wizard(Setup());
        Window main = wizard.WaitMain();
        main.Click(kQuit);
        EXPECT_TRUE(main.WaitGone());
        EXPECT_NE(STILL_ACTIVE, wizard.WaitExit());
        EXPECT_TRUE(wizard.Windows("Kelvo:Caution").empty());
    }
    {
        Wizard wizard(Setup());
        Window main = wizard.WaitMain();
        main.PressTab();  // Begin -> Quit: the port button is disabled and Button3 hidden
        for (int i = 0; i < 100 && main.Focus().Handle() != main.Control(kQuit).Handle(); ++i) ::Sleep(10);
        ASSERT_EQ(main.Control(kQuit).Handle(), main.Focus().Handle());
        main.PressEnter();
        EXPECT_TRUE(main.WaitGone());
        EXPECT_NE(STILL_ACTIVE, wizard.WaitExit());
    }
    {
        Wizard wizard(Setup());
        Window main = wizard.WaitMain();
        main.PressEscape();
        EXPECT_TRUE(main.WaitGone());
        EXPECT_NE(STILL_ACTIVE, wizard.WaitExit());
    }
}

TEST_F(MainWindow, SystemCommandsSixteenToThirtyOneOpenTheAboutDialog) {
    Wizard wizard(Setup());
    Window main = wizard.WaitMain();
    for (UINT command : {0x0010u, 0x0015u, 0x001Fu}) {
        main.PostSysCommand(command);
        Window about = wizard.WaitWindow(kAboutTitle);
        ASSERT_TRUE(about.Exists()) << command;
        EXPECT_EQ(L"关于 Kelvo Braille display setup", about.TextW());
        EXPECT_EQ(L"确定", about.Control(IDOK).TextW());
        about.PressEscape();
        EXPECT_TRUE(about.WaitGone());
    }
    main.PostSysCommand(0x0020);  // not the About item
    EXPECT_TRUE(wizard.NoWindowFor(kAboutTitle, 300));
    main.PressEscape();
    EXPECT_TRUE(main.WaitGone());
    wizard.WaitExit();
}

// Windows elevates the setup by its name; a manifest that asks for that level itself (and names the Windows versions
// it knows) keeps the compatibility assistant from calling a good run a failed installation afterwards.
TEST_F(MainWindow, ManifestOfTheShippedProgramRequestsItsLevelAndItsWindows) {
    std::string program = m_sandbox.Setup() + "\\Kelvo Braille display setup.exe";
    HMODULE image = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(image) << program;
    HRSRC found = ::FindResourceA(image, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_TRUE(found);
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(image, found)));
    std::string manifest(bytes, ::SizeofResource(image, found));
    ::FreeLibrary(image);
    EXPECT_NE(std::string::npos,
              manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"));
    for (const char* windows : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(std::string::npos, manifest.find(std::string("<supportedOS Id=\"") + windows + "\"/>")) << windows;
    }
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}
