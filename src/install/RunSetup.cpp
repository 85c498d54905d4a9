// "Begin": the installation sequence. It installs the driver, updates Dolphin, waits for the display's port
// and for Window-Eyes to be closed, then configures Window-Eyes or announces the port. It ends the process.
#include <vector>

#include "afx/Text.h"
#include "app/SetupDlg.h"
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
    ::WaitForSingleObject(process.hProcess, INFINITE);
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

// TIMER_CHIME keeps running after this wait, until the Window-Eyes update starts. Window-Eyes is closed once its
// process has ended, not only its window, since it still holds its braille driver and writes its settings after the
// window is gone. Once the user has closed Window-Eyes, its screen reader, no one reads the setup's last message
// unless the setup speaks it itself.
void CSetupDlg::WaitForWindowEyesClosed() {
    if (!m_windowEyes.WindowOpen()) return;
    SetTimer(TIMER_WINDOWEYES_WATCH, kWindowEyesWatchMs);
    SetTimer(TIMER_CHIME, kChimeMs);
    do {
        m_prompts.Wait(kCloseWindowEyes);
    } while (!m_windowEyes.Closed());
    KillTimer(TIMER_WINDOWEYES_WATCH);
    m_prompts.SpeakFromNowOn();
}

// The main window stays until the first prompt is up, and is hidden then. Windows lets only the foreground process
// (or one it started, or the receiver of the last input) bring a window to the front (SetForegroundWindow, Remarks):
// hidden at once, it would hand the foreground to another program, so that the driver installer's window and the
// prompt after it would open behind that program, out of the screen reader's reach. Kept, it is the window Windows
// hands the activation back to when the installer's window closes.
void CSetupDlg::RunSetup(const SetupFamily& family) {
    m_btnBegin.EnableWindow(FALSE);
    m_prompts.HideOnceShown(m_hWnd);

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

    WaitForWindowEyesClosed();
    KillTimer(TIMER_CHIME);
    UpdateWindowEyes(windowEyesFolder, versionClass, portName, family.family);
}
