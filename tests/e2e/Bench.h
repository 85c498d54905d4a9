// The end-to-end bench: lays out a simulated PC (registry, folders), starts the real setup program, and works
// it through its windows as a user with a screen reader would.
#pragma once

#include <windows.h>

#include "Footprint.h"
#include "MachineFiles.h"

#include <functional>
#include <string>
#include <vector>

namespace bench {

// Every wait of the bench gives up after this long; a test never hangs. Each wait ends as soon as what it waits for
// happens (or the program ends), so only a failure pays for the margin: where Wine is emulated on a busy machine, a
// first window has taken longer than 15 s.
constexpr DWORD kTimeoutMs = 30000;

// --- The simulated PC's registry (HKEY_LOCAL_MACHINE) ---
void SetMachineString(const std::string& key, const std::string& value, const std::string& text, DWORD type = REG_SZ);
void SetMachineBytes(const std::string& key, const std::string& value, const std::string& bytes, DWORD type);
void DeleteMachineValue(const std::string& key, const std::string& value);
void DeleteMachineTree(const std::string& key);
bool MachineValueExists(const std::string& key, const std::string& value);

extern const char kNtDeviceKey[];
extern const char kVistaDeviceKey[];
extern const char kDriverInstallKey[];
extern const char kWindowsNtKey[];
extern const char kWindowsKey[];

// Puts the registry keys that the scenarios touch back as a new simulated PC has them: no display, no
// driver, no screen readers, Windows 7, Windows' own speech. Called before and after every scenario.
void ResetMachine();

// CTest runs scenarios once more under code page 936, where they meet Chinese folder and user names.
using machine::LocalName;

// --- Files ---
using machine::ProgramFolder;  // where the test program's helper programs lie beside it
std::string DistFolder();      // the laid-out shipped folder that the scenarios copy
using machine::ReadFileBytes;
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
DWORD FileAttributes(const std::string& path);
// A value of an INI file as the profile API reads it; `fallback` when the file, section or key is missing.
std::string IniValue(const std::string& file, const char* section, const char* key, const char* fallback = "<none>");
void MakeFolders(const std::string& path);
using machine::RemoveTree;
void CopyTree(const std::string& from, const std::string& to);

// A fresh folder on C: for one scenario, removed when the object goes; holds a copy of the shipped folder.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& Root() const { return m_root; }
    // The copy of the shipped folder. Its Chinese name ends in a character whose second byte is a backslash's.
    std::string Setup() const { return m_root + "\\" + LocalName("setup", L"凯沃点显器安装誠"); }
    std::string Path(const std::string& relative) const { return m_root + "\\" + relative; }

private:
    std::string m_root;
};

// --- DLLs planted beside a program, as web pages leave them in a download folder ---
// Whether a program searches its own folder for these names: Windows always does; Wine only for the names in its
// overrides, which it takes from the Unix environment (CTest sets them through KELVO_DLL_OVERRIDES, "name,name=n,b"),
// so that a Windows program cannot set them for the program it starts.
bool PlantedDllsAreSearched(const std::vector<std::string>& names);
// Lays the probe DLL (planted-dll.dll beside this program) into the folder under each name.
void PlantDlls(const std::vector<std::string>& names, const std::string& folder);
// The names whose DLL was loaded: the probe leaves NAME.dll.loaded beside itself when it is.
std::vector<std::string> LoadedDlls(const std::vector<std::string>& names, const std::string& folder);

// Polls until the condition holds; false when it still does not after the time.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);

// --- Windows of another process, as a screen reader sees them ---
class Window {
public:
    Window() = default;
    explicit Window(HWND hwnd) : m_hwnd(hwnd) {}

    HWND Handle() const { return m_hwnd; }
    bool Exists() const { return m_hwnd && ::IsWindow(m_hwnd); }
    std::string Text() const;    // WM_GETTEXT, ANSI
    std::wstring TextW() const;  // WM_GETTEXT, wide
    LONG Style() const { return ::GetWindowLongA(m_hwnd, GWL_STYLE); }
    LONG ExStyle() const { return ::GetWindowLongA(m_hwnd, GWL_EXSTYLE); }
    bool Visible() const { return ::IsWindowVisible(m_hwnd); }
    bool Enabled() const { return ::IsWindowEnabled(m_hwnd); }
    Window Control(int id) const { return Window(::GetDlgItem(m_hwnd, id)); }
    int Id() const { return ::GetDlgCtrlID(m_hwnd); }
    std::string ClassName() const;

    // The control of this window's thread that has the keyboard focus.
    Window Focus() const;
    // EM_GETSEL of an edit control: first and one-past-last selected character.
    std::pair<int, int> Selection() const;

    // Keys as the user presses them: posted to the focused control, so they pass the dialog manager.
    void PressEnter() const;
    void PressEscape() const;
    void PressTab() const;
    // A click on a visible button of this dialog (nothing happens when the button is disabled).
    void Click(int id) const;
    // BN_CLICKED for a control, as another program can send it to a hidden button.
    void SendClicked(int id) const;
    void PostSysCommand(UINT command) const;

    // Waits until the window is destroyed, or hidden; false on timeout.
    bool WaitGone(DWORD timeoutMs = kTimeoutMs) const;
    bool WaitHidden(DWORD timeoutMs = kTimeoutMs) const;

private:
    void PostKey(WPARAM key) const;

    HWND m_hwnd = nullptr;
};

// --- The setup program, started for one scenario ---
struct StartOptions {
    std::string folder;            // the folder that holds the program (default: the sandbox's setup copy)
    std::string currentDirectory;  // default: the program's folder
    std::string program;           // the program file's name in the folder (default: the setup's)
    std::string arguments;         // added after the quoted program path
    bool checkPrompts = true;      // every prompt is checked as a screen reader meets it (off when timing)
    // Lets the program take the foreground (AllowSetForegroundWindow), as posted keys need no foreground. Off where
    // a scenario works it as a user does, with real keys and no right granted.
    bool grantForeground = true;
};

class Wizard {
public:
    explicit Wizard(const StartOptions& options);
    ~Wizard();  // a program still running is ended, and the scenario fails
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    DWORD ProcessId() const { return m_process.dwProcessId; }
    bool Running() const;

    // A visible top-level window of the program with exactly this title (UTF-8); an invalid Window on timeout
    // (the scenario then fails). `other` skips a window still closing from an earlier step.
    Window WaitWindow(const std::string& title, HWND other = nullptr, DWORD timeoutMs = kTimeoutMs) const;
    // The main setup window.
    Window WaitMain() const { return WaitWindow("setup 3.09.12.16"); }
    // The next prompt dialog; it has the focus in its message field once it is ready. Unless the options said
    // otherwise, it is checked then as a screen reader meets it.
    Window WaitPrompt(HWND previous = nullptr, DWORD timeoutMs = kTimeoutMs) const;
    // The same, for a caller that takes every prompt until the program ends: an invalid Window, and no failure,
    // once the program has ended.
    Window NextPromptOrEnd(HWND previous, DWORD timeoutMs = kTimeoutMs) const;
    // True when no visible window with the title appears within the time.
    bool NoWindowFor(const std::string& title, DWORD ms) const;

    // The exit code, or STILL_ACTIVE on timeout.
    DWORD WaitExit(DWORD timeoutMs = kTimeoutMs);

    // Windows of the program with the title, visible or not.
    std::vector<HWND> Windows(const std::string& title) const;
    // The program's own visible top-level windows, whatever their titles (not those of the programs it started).
    std::vector<HWND> ShownWindows() const;

private:
    Window FindWindowTitled(const std::string& title, HWND other, DWORD timeoutMs) const;
    Window ReadyPrompt(Window prompt, DWORD timeoutMs) const;

    PROCESS_INFORMATION m_process{};
    bool m_exited = false;
    bool m_checkPrompts = true;
};

// A top-level window of another program (this test process), such as a stand-in for Window-Eyes' window. It
// has a thread of its own that answers its messages, as a real program's window does.
class OtherWindow {
public:
    explicit OtherWindow(const std::string& title, bool foreground = false);
    ~OtherWindow() { Close(); }
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    HWND Handle() const { return m_hwnd; }
    bool Exists() const { return m_hwnd && ::IsWindow(m_hwnd); }
    // Destroys the window and ends its thread.
    void Close();
    // Moves the window below every other window; it stays the foreground window, as the desktop does.
    void SinkToBottom() const;

private:
    HWND m_hwnd = nullptr;
    HANDLE m_thread = nullptr;
};

// Window-Eyes' stand-in, a program of its own (window-eyes-stand-in.exe beside this one): as a real program does when
// it shuts down, its window is gone before its process ends.
struct WindowEyesShutdown {
    DWORD lingerMs = 0;         // how long its process outlives its window
    std::string holds;          // a file it holds open until it ends, as a loaded braille driver is
    std::string savesSettings;  // a WINEYES.INI whose brailleport it reads as it starts and writes back as it exits
    bool refusesOpen = false;   // its process refuses to be opened, as another account's refuses an elevated setup
};

class WindowEyesProgram {
public:
    explicit WindowEyesProgram(const WindowEyesShutdown& shutdown = {});
    ~WindowEyesProgram();  // a stand-in still running is ended
    WindowEyesProgram(const WindowEyesProgram&) = delete;
    WindowEyesProgram& operator=(const WindowEyesProgram&) = delete;

    HWND Handle() const { return m_window; }
    bool Exists() const { return m_window && ::IsWindow(m_window); }  // its window
    bool Running() const;                                             // its process
    // Closes its window as its own keys would; its process ends after its shutdown. Returns when the window is gone.
    void Close();
    DWORD WindowGoneAt() const { return m_windowGoneAt; }
    // Waits for its process to end; the tick it ended at, or 0 on timeout.
    DWORD WaitEnded();

private:
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
    DWORD m_windowGoneAt = 0;
};

// Whether a window answers a message within the time, and Windows does not take it for hung (IsHungAppWindow): a
// window whose thread reads no messages gets a ghost "(Not Responding)" on Windows, and a screen reader's questions go
// unanswered.
bool Answers(HWND window, DWORD withinMs);

// The foreground window sampled every few milliseconds on a thread of its own, from its start until Stop.
class ForegroundSampler {
public:
    ForegroundSampler();
    ~ForegroundSampler() { Stop(); }
    ForegroundSampler(const ForegroundSampler&) = delete;
    ForegroundSampler& operator=(const ForegroundSampler&) = delete;

    // Stops sampling; the windows that were the foreground window, in turn (each once per stay), and how many samples.
    std::vector<HWND> Stop();
    unsigned Samples() const { return m_samples; }

private:
    static DWORD WINAPI Run(void* sampler);

    HANDLE m_thread = nullptr;
    volatile LONG m_stop = 0;
    volatile unsigned m_samples = 0;
    std::vector<HWND> m_stays;
};

// Keys as a keyboard gives them (SendInput): they go to whatever window is in the foreground.
void TypeKey(WORD key);
void TypeAltKey(WORD key);
// A click of the left mouse button in a window's title bar, as the user's mouse gives it.
void ClickWithTheMouse(HWND window);
// Whether the prompt is the foreground window with the focus in its message field, within the time.
bool WaitInFront(const Window& prompt, DWORD timeoutMs = 1000);

// Answers a prompt with ENTER and waits for it to close; returns the text it showed.
std::string AnswerEnter(const Window& prompt);
std::string AnswerEscape(const Window& prompt);

}  // namespace bench
