// "Begin": the installation sequence. It installs the driver, updates Dolphin, waits for the display's port
// and for Window-Eyes to be closed, then configures Window-Eyes or announces the port. It ends the process.
#include <vector>

#include "afx/Text.h"
#include "app/SetupDlg.h"
#include "install/WindowEyesRules.h"
#include "probe/OutsideComponents.h"
#include "probe/SourceRoot.h"

struct CSetupDlg::SetupFamily {
    Family family;
    bool checksDriver;      // whether a registered driver installation skips the installer
    const char* installer;  // below the program's own folder
    void (CSetupDlg::*updateDolphin)();
    const char* deviceKey;
    const char* firstConnectPrompt;
    const char* retryPrompt;
};

namespace {
constexpr char kNtConnectPrompt[] =
    "Please connect Kelvo braille display to your computer and wait.\r\nPress ESC to quit if you want.";

constexpr char kDriverFailed[] = "Error!Driver failed\r\nPlease press ENTER and Kelvo Setup will be closed!";
constexpr char kPortAnnouncement[] = "Kelvo Braille Display at %s   \r\nPlease press ENTER to continue";
constexpr char kCloseWindowEyes[] = "Please close Window-eyes and wait.\r\nPress ESC to quit if you want.";
constexpr char kFinished[] =
    "Congratulations! Kelvo Braille Display setup has been completed successfully !\r\nPlease press ENTER to "
    "finish !";

constexpr UINT kDeviceWatchMs = 50;
constexpr UINT kWindowEyesWatchMs = 500;
constexpr UINT kChimeMs = 3500;
constexpr DWORD kRetryPauseMs = 500;

// What a user's key or click, or a request to close a window, starts: nothing of it may reach the setup's windows
// while the driver installer runs.
bool IsUserAction(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_SYSCOMMAND ||
           message == WM_CLOSE || message == WM_COMMAND;
}

// Windows takes a window whose thread has not read its messages for 5 seconds for hung, and shows a ghost "(Not
// Responding)" in its place, whose window a screen reader can no longer ask anything (WM_GETOBJECT goes unanswered;
// IsHungAppWindow, Remarks); a vendor's driver installer easily runs longer. So the wait reads the setup's messages
// meanwhile: what is sent to its windows is answered and they are painted, while the user's keys and clicks, and
// requests to close, are dropped, so that nothing starts a second flow or quits in the middle of the installation. A
// thread blocked in WaitForSingleObject answers no SendMessageTimeout under Wine either; the ghost only Windows draws.
void WaitAnswering(HANDLE process) {
    // One message a round, so that the installer's end is seen however many messages keep arriving; the wait returns
    // at once while any message waits in the queue.
    while (::MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) || IsUserAction(message.message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}
}  // namespace

void CSetupDlg::RunSetupVista() {
    static const SetupFamily kVista{
        Family::Vista,
        true,
        "%s%sdriverforvista\\Kelvo Braille display driver.exe",
        &CSetupDlg::UpdateDolphinVista,
        kVistaDeviceKey,
        "Please connect Kelvo Braille Display to your computer.\r\nPress ENTER after hearing two beeps from "
        "display.\r\nPress ESC to quit if you want.",
        "Please press ENTER to try again.\r\nIf you want to quit,press ESC.",
    };
    RunSetup(kVista);
}

void CSetupDlg::RunSetupNt() {
    static const SetupFamily kNt{
        Family::Nt,
        false,
        "%s%sdriverfornt\\Kelvo Braille display driver.exe",
        &CSetupDlg::UpdateDolphinNt,
        kNtDeviceKey,
        kNtConnectPrompt,
        kNtConnectPrompt,
    };
    RunSetup(kNt);
}

// The installer is started by its absolute path from the program's own folder, as application name and
// quoted, so that it is found whatever the current directory and no "driverfornt\Kelvo.exe" can stand in.
bool CSetupDlg::RunDriverInstaller(const char* installer) {
    std::string path = SourcePath(installer);
    std::string quoted = "\"" + path + "\"";
    std::vector<char> commandLine(quoted.begin(), quoted.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return false;
    }
    // However the installer ends, the sequence goes on: a missing driver shows only as a port that never comes.
    WaitAnswering(process.hProcess);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return true;
}

// The read comes before the prompt in a retry pass, so a port registered while that prompt is open brings one
// more pass, unless the watch timer closes it first.
void CSetupDlg::WaitForDevice(const SetupFamily& family, std::string& registry) {
    SetTimer(TIMER_DEVICE_WATCH, kDeviceWatchMs);
    SetTimer(TIMER_CHIME, kChimeMs);
    m_prompts.Wait(family.firstConnectPrompt);
    if (!ReadRegistryString(family.deviceKey, kPortNameValue, registry)) {
        bool found = false;
        do {
            found = ReadRegistryString(family.deviceKey, kPortNameValue, registry);
            m_prompts.Wait(family.retryPrompt);
            ::Sleep(kRetryPauseMs);
        } while (!found);
    }
    KillTimer(TIMER_DEVICE_WATCH);
    KillTimer(TIMER_CHIME);
}

// TIMER_CHIME keeps running after this wait, until the Window-Eyes update starts. Window-Eyes is closed once every
// process that showed its window has ended, not only its window, since it still holds its braille driver and writes its
// settings after the window is gone, and the user may start it again meanwhile. Once the user has closed Window-Eyes,
// its screen reader, no one reads the setup's last message unless the setup speaks it itself.
void CSetupDlg::WaitForWindowEyesClosed(const std::string& folder, const std::string& versionClass) {
    if (const WindowEyesClass* rules = FindWindowEyesClass(versionClass)) {
        m_windowEyes.SetHeldFiles(WindowEyesHeldFiles(*rules, folder));
    }
    if (!m_windowEyes.WindowOpen()) return;
    SetTimer(TIMER_WINDOWEYES_WATCH, kWindowEyesWatchMs);
    SetTimer(TIMER_CHIME, kChimeMs);
    do {
        m_prompts.Wait(kCloseWindowEyes);
    } while (!m_windowEyes.Closed());
    KillTimer(TIMER_WINDOWEYES_WATCH);
    m_prompts.SpeakFromNowOn();
}

// The main window stays shown, behind its prompts, until the process ends. Windows lets only the foreground process
// (or one it started, or the receiver of the last input) bring a window to the front (SetForegroundWindow, Remarks).
// Shown, the main window keeps the setup the foreground process while the driver installer runs (which it started,
// so the installer's window comes to the front), and it is the window Windows gives the activation back to whenever
// the installer's window or a prompt closes: a modal prompt enables its owner again before it goes (EndDialog), and
// Windows activates a visible, enabled owner. Hidden, as it used to be once the first prompt was up, nothing documented
// says where the activation goes: Wine gives it to the hidden owner, Windows may give it to another program, and the
// ENTER's key-up that closed a prompt then takes the setup's right to the foreground with it, so that the next prompt
// (a retry prompt, the final message after a sound) opens behind. Its buttons take no click meanwhile (CDialog).
void CSetupDlg::RunSetup(const SetupFamily& family) {
    m_btnBegin.EnableWindow(FALSE);

    std::string registry;  // every read of the run writes here; a failed read keeps the last value
    bool driverRegistered = family.checksDriver && ReadRegistryString(kDriverInstallKey, kDriverInstallValue, registry);
    if (!driverRegistered && !RunDriverInstaller(family.installer)) {
        m_prompts.TellAndEnd(kDriverFailed);
        return;
    }

    (this->*family.updateDolphin)();

    std::string windowEyesFolder;
    std::string versionClass;
    bool configureWindowEyes = DetectWindowEyes(windowEyesFolder, versionClass);

    if (!ReadRegistryString(family.deviceKey, kPortNameValue, registry)) WaitForDevice(family, registry);

    // Both waits end only after a successful read, so a failure here leaves that value as the port name.
    ReadRegistryString(family.deviceKey, kPortNameValue, registry);
    std::string portName = registry;

    if (!configureWindowEyes) m_prompts.Tell(FormatText(kPortAnnouncement, portName.c_str()));
    m_btnReadPort.EnableWindow(TRUE);
    if (!configureWindowEyes) {
        m_prompts.TellAndEnd(kFinished);
        return;
    }

    WaitForWindowEyesClosed(windowEyesFolder, versionClass);
    KillTimer(TIMER_CHIME);
    UpdateWindowEyes(windowEyesFolder, versionClass, portName, family.family);
}
