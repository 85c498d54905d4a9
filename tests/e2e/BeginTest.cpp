// "Begin" end to end: the driver installer, the wait for the display's port with its prompts and timers, the
// port announcement and the final message; every end with exit code 4.
#include <memory>

#include "BeginScenario.h"

using namespace bench;
using namespace begin;

class Begin : public BeginScenario {};

TEST_F(Begin, NtFamilyRunsTheInstallerAnnouncesThePortAndEndsWithFour) {
    SetMachineString(kNtDeviceKey, "PortName", "COM3");
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    Window announcement = NextPrompt(wizard);
    EXPECT_TRUE(main.Visible()) << "the main window stays behind its prompts, where the activation comes back to";
    EXPECT_FALSE(main.Enabled()) << "the prompt's owner takes no input while it is up";
    EXPECT_FALSE(main.Control(kBegin).Enabled());
    EXPECT_TRUE(main.Control(kReadPort).Enabled());
    EXPECT_EQ(Announcement("COM3"), AnswerEnter(announcement));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
    std::string runs = InstallerRuns();
    EXPECT_EQ(m_sandbox.Setup() + "\t\"" + m_sandbox.Setup() + "\\driverfornt\\Kelvo Braille display driver.exe\"\r\n",
              runs);
    EXPECT_TRUE(MachineValueExists(kDriverInstallKey, "ProductName")) << "the stand-in registered the driver";
}

TEST_F(Begin, InstallerIsFoundWhateverTheCurrentDirectory) {
    SetMachineString(kNtDeviceKey, "PortName", "COM3");
    StartOptions options = Setup();
    options.currentDirectory = m_sandbox.Root();  // a shortcut or the Run box may start it from elsewhere
    Wizard wizard(options);
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(Announcement("COM3"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
    EXPECT_NE(std::string::npos, InstallerRuns().find("driverfornt\\Kelvo Braille display driver.exe\""));
}

TEST_F(Begin, UnquotedSearchPathCannotRunAPlantedProgram) {
    SetMachineString(kNtDeviceKey, "PortName", "COM3");
    // A planted driverfornt\Kelvo.exe would run first for an unquoted command line with blanks.
    ASSERT_TRUE(::CopyFileA((m_sandbox.Setup() + "\\driverfornt\\Kelvo Braille display driver.exe").c_str(),
                            (m_sandbox.Setup() + "\\driverfornt\\Kelvo.exe").c_str(), FALSE));
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(Announcement("COM3"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
    std::string runs = InstallerRuns();
    EXPECT_NE(std::string::npos, runs.find("\\Kelvo Braille display driver.exe\""));
    EXPECT_EQ(1, std::count(runs.begin(), runs.end(), '\n')) << runs;
}

TEST_F(Begin, MissingInstallerEndsWithTheDriverFailure) {
    RemoveTree(m_sandbox.Setup() + "\\driverfornt");
    SetMachineString(kNtDeviceKey, "PortName", "COM3");
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(kDriverFailed, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
}

TEST_F(Begin, VistaFamilySkipsTheInstallerOnlyWhenTheDriverIsRegistered) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    SetMachineString(kVistaDeviceKey, "PortName", "COM4");
    SetMachineString(kDriverInstallKey, "ProductName", "CP210x");
    {
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        EXPECT_EQ(Announcement("COM4"), Next(wizard));
        EXPECT_EQ(kFinished, Next(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
        EXPECT_EQ("", InstallerRuns());
    }
    DeleteMachineTree("SOFTWARE\\Silicon Laboratories, Inc.");
    m_previous = nullptr;
    {
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        EXPECT_EQ(Announcement("COM4"), Next(wizard));
        EXPECT_EQ(kFinished, Next(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
        EXPECT_NE(std::string::npos, InstallerRuns().find("driverforvista\\Kelvo Braille display driver.exe\""));
    }
}

// The watch finds its prompt wherever the foreground window lies: the prompt itself, or another program's window left
// in the foreground below it, as the desktop is.
TEST_F(Begin, NtConnectPromptClosesByItselfOnceThePortIsRegistered) {
    for (bool foregroundBelow : {false, true}) {
        SCOPED_TRACE(foregroundBelow ? "another program's window in the foreground, below the prompt" : "in front");
        ResetMachine();
        m_previous = nullptr;
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        Window connect = NextPrompt(wizard);
        EXPECT_EQ(kNtConnect, connect.Control(kMessageField).Text());
        EXPECT_EQ(connect.Control(kMessageField).Handle(), connect.Focus().Handle());
        EXPECT_TRUE(wizard.Running());
        std::unique_ptr<OtherWindow> folder;
        if (foregroundBelow) {
            folder = std::make_unique<OtherWindow>("Downloads", true);
            folder->SinkToBottom();
            ASSERT_EQ(folder->Handle(), ::GetForegroundWindow());
        }
        SetMachineString(kNtDeviceKey, "PortName", "COM6");
        EXPECT_TRUE(connect.WaitGone(2000)) << "the watch timer closes it without a key";
        EXPECT_EQ(Announcement("COM6"), Next(wizard));
        EXPECT_EQ(kFinished, Next(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
    }
}

TEST_F(Begin, VistaConnectPromptWaitsForEnterWhenOnlyTheVistaKeyAppears) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    Window connect = NextPrompt(wizard);
    EXPECT_EQ(kVistaConnect, connect.Control(kMessageField).Text());
    SetMachineString(kVistaDeviceKey, "PortName", "COM8");
    EXPECT_FALSE(connect.WaitGone(600)) << "the watch timer reads only the NT-family key";
    AnswerEnter(connect);
    EXPECT_EQ(Announcement("COM8"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
}

TEST_F(Begin, VistaRetryPassReadsBeforeItsPromptSoOneMorePromptFollows) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(kVistaConnect, Next(wizard));
    EXPECT_EQ(kVistaRetry, Next(wizard));
    EXPECT_EQ(kVistaRetry, Next(wizard)) << "no port yet: the retries have no limit";
    Window retry = NextPrompt(wizard);
    SetMachineString(kVistaDeviceKey, "PortName", "COM9");
    EXPECT_EQ(kVistaRetry, AnswerEnter(retry));
    EXPECT_EQ(kVistaRetry, Next(wizard)) << "the pass that found the port still shows its prompt";
    EXPECT_EQ(Announcement("COM9"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
}

TEST_F(Begin, NtRetryPromptRepeatsTheConnectPromptAndTheTimerClosesIt) {
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(kNtConnect, Next(wizard));
    Window retry = NextPrompt(wizard);
    EXPECT_EQ(kNtConnect, retry.Control(kMessageField).Text());
    SetMachineString(kNtDeviceKey, "PortName", "COM10");
    // The open retry prompt and the one more pass it brings are both closed by the timer.
    EXPECT_EQ(Announcement("COM10"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
}

TEST_F(Begin, PortThatVanishesAfterTheWaitKeepsTheLastValueRead) {
    SetMachineString(kWindowsNtKey, "ProductName", kVistaProduct);
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    EXPECT_EQ(kVistaConnect, Next(wizard));
    Window retry = NextPrompt(wizard);
    SetMachineString(kVistaDeviceKey, "PortName", "COM11");
    AnswerEnter(retry);
    Window last = NextPrompt(wizard);  // its pass read COM11 before showing it
    DeleteMachineValue(kVistaDeviceKey, "PortName");
    AnswerEnter(last);
    EXPECT_EQ(Announcement("COM11"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
}

TEST_F(Begin, EscapeInTheConnectOrRetryPromptEndsAtOnceWithFour) {
    {
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        AnswerEscape(NextPrompt(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
    }
    m_previous = nullptr;
    {
        Wizard wizard(Setup());
        Window main;
        StartAndBegin(wizard, main);
        EXPECT_EQ(kNtConnect, Next(wizard));
        AnswerEscape(NextPrompt(wizard));
        EXPECT_EQ(4u, wizard.WaitExit());
    }
}

TEST_F(Begin, ForeignWindowWithTheCautionTitleIsLeftAlone) {
    Wizard wizard(Setup());
    Window main;
    StartAndBegin(wizard, main);
    Window connect = NextPrompt(wizard);
    OtherWindow foreign("Kelvo:Caution - another program", true);
    SetMachineString(kNtDeviceKey, "PortName", "COM12");
    EXPECT_TRUE(connect.WaitGone(2000)) << "the search goes on below the foreign window";
    EXPECT_TRUE(foreign.Exists());
    EXPECT_EQ(Announcement("COM12"), Next(wizard));
    EXPECT_EQ(kFinished, Next(wizard));
    EXPECT_EQ(4u, wizard.WaitExit());
}
