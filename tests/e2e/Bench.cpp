// The end-to-end bench: registry and files of the simulated PC, and the setup program driven through its windows.
#include "Bench.h"

#include "MachineRegistry.h"
#include "OwnVoice.h"
#include "ScreenReader.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>

namespace bench {

const char kNtDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00\\0001_00\\Device Parameters";
const char kVistaDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60\\0001\\Device Parameters";
const char kDriverInstallKey[] =
    "SOFTWARE\\Silicon Laboratories, Inc.\\Silicon Laboratories Driver Installations\\VCP CP210x "
    "Cardinal\\SLABCOMM&10C4&EA60";
const char kWindowsNtKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// ---------------------------------------------------------------- registry

void SetMachineBytes(const std::string& key, const std::string& value, const std::string& bytes, DWORD type) {
    HKEY handle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, machine::CreateToWrite(key, &handle)) << key;
    LONG status = ::RegSetValueExA(handle, value.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(handle);
    ASSERT_EQ(ERROR_SUCCESS, status) << key << " " << value;
}

void SetMachineString(const std::string& key, const std::string& value, const std::string& text, DWORD type) {
    SetMachineBytes(key, value, std::string(text.c_str(), text.size() + 1), type);
}

void DeleteMachineValue(const std::string& key, const std::string& value) {
    ASSERT_TRUE(machine::DeleteValue(machine::Wide(key), machine::Wide(value))) << key << "\\" << value;
}

void DeleteMachineTree(const std::string& key) { ASSERT_TRUE(machine::DeleteTree(key)) << key; }

bool MachineValueExists(const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    if (machine::OpenToRead(key, &handle) != ERROR_SUCCESS) return false;
    LONG status = ::RegQueryValueExA(handle, value.c_str(), nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

void ResetMachine() {
    for (const char* tree : machine::kTrees) DeleteMachineTree(tree);
    DeleteMachineValue(kWindowsKey, "ProductName");
    SetMachineString(kWindowsNtKey, "ProductName", "Microsoft Windows 7");
    SetMachineString(kWindowsNtKey, "RegisteredOwner", "user1");
    ResetVoice();
}

// ---------------------------------------------------------------- files

// KELVO_DIST names another laid-out folder, such as a signed copy of this build's. The Windows test kit has the
// folder beside this program; a build tree has it where the build laid it out.
std::string DistFolder() {
    char other[MAX_PATH] = "";
    DWORD length = ::GetEnvironmentVariableA("KELVO_DIST", other, sizeof other);
    if (length > 0 && length < sizeof other) return other;
    std::string beside = ProgramFolder() + "\\dist";
    if (FolderExists(beside)) return beside;
    std::string path = "Z:" KELVO_DIST_DIR;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD FileAttributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

std::string IniValue(const std::string& file, const char* section, const char* key, const char* fallback) {
    char value[256] = "";
    ::GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file.c_str());
    return value;
}

void MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    ::CreateDirectoryA(path.c_str(), nullptr);
}

void CopyTree(const std::string& from, const std::string& to) {
    MakeFolders(to);
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((from + "\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search) << from;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CopyTree(from + "\\" + name, to + "\\" + name);
        } else {
            ASSERT_TRUE(::CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE))
                << name << " to " << to << ", error " << ::GetLastError();
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

namespace {
// Ends every program that runs from below the folder: a scenario killed in an earlier run (a timed-out test) leaves
// its setup running, which holds the files the next run of that scenario lays out anew.
void EndProgramsBelow(const std::string& folder) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                       entry.th32ProcessID);
        if (!process) continue;
        char image[MAX_PATH] = "";
        DWORD size = sizeof image;
        if (::QueryFullProcessImageNameA(process, 0, image, &size) &&
            _strnicmp(image, (folder + "\\").c_str(), folder.size() + 1) == 0) {
            ::TerminateProcess(process, 99);
            ::WaitForSingleObject(process, kTimeoutMs);
        }
        ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
}
}  // namespace

Sandbox::Sandbox() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    m_root = std::string(machine::kSandboxRoot) + "\\" +
             (test ? std::string(test->test_suite_name()) + "." + test->name() : "x");
    EndProgramsBelow(m_root);
    RemoveTree(m_root);
    MakeFolders(m_root);
    CopyTree(DistFolder(), Setup());
}

Sandbox::~Sandbox() { RemoveTree(m_root); }

// ---------------------------------------------------------------- planted DLLs

bool PlantedDllsAreSearched(const std::vector<std::string>& names) {
    if (!::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")) return true;
    char overrides[1024] = "";
    ::GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    std::string all = overrides;
    if (all.find("=n,b") == std::string::npos) return false;
    for (const std::string& name : names) EXPECT_NE(std::string::npos, all.find(name)) << name << " is not overridden";
    return true;
}

void PlantDlls(const std::vector<std::string>& names, const std::string& folder) {
    std::string dll = ProgramFolder() + "\\planted-dll.dll";
    for (const std::string& name : names) {
        EXPECT_TRUE(::CopyFileA(dll.c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE)) << name;
    }
}

std::vector<std::string> LoadedDlls(const std::vector<std::string>& names, const std::string& folder) {
    std::vector<std::string> loaded;
    for (const std::string& name : names) {
        if (FileExists(folder + "\\" + name + ".dll.loaded")) loaded.push_back(name);
    }
    return loaded;
}

// ---------------------------------------------------------------- windows

std::string Window::Text() const {
    char text[4096] = "";
    ::SendMessageTimeoutA(m_hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kTimeoutMs,
                          nullptr);
    return text;
}

std::wstring Window::TextW() const {
    wchar_t text[4096] = L"";
    ::SendMessageTimeoutW(m_hwnd, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, kTimeoutMs, nullptr);
    return text;
}

std::string Window::ClassName() const {
    char name[256] = "";
    ::GetClassNameA(m_hwnd, name, sizeof name);
    return name;
}

Window Window::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD thread = ::GetWindowThreadProcessId(m_hwnd, nullptr);
    if (!::GetGUIThreadInfo(thread, &info)) return Window();
    return Window(info.hwndFocus);
}

std::pair<int, int> Window::Selection() const {
    DWORD_PTR packed = 0;
    ::SendMessageTimeoutA(m_hwnd, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &packed);
    return {LOWORD(packed), HIWORD(packed)};
}

void Window::PostKey(WPARAM key) const {
    Window target = Focus();
    HWND to = target.m_hwnd ? target.m_hwnd : m_hwnd;
    UINT scan = ::MapVirtualKeyA(static_cast<UINT>(key), 0);
    ::PostMessageA(to, WM_KEYDOWN, key, 1 | (scan << 16));
    ::PostMessageA(to, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void Window::PressEnter() const { PostKey(VK_RETURN); }
void Window::PressEscape() const { PostKey(VK_ESCAPE); }
void Window::PressTab() const { PostKey(VK_TAB); }

void Window::Click(int id) const { ::PostMessageA(::GetDlgItem(m_hwnd, id), BM_CLICK, 0, 0); }

void Window::SendClicked(int id) const {
    ::PostMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_hwnd, id)));
}

void Window::PostSysCommand(UINT command) const { ::PostMessageA(m_hwnd, WM_SYSCOMMAND, command, 0); }

// A wait looks again 10 ms later at first, and the longer it lasts the less often (every 100 ms at most): each look
// asks Wine's server, which the program waited for needs as well, and where Wine is emulated a program takes seconds
// to start. A wait that ends at once, as natively, looks as often as ever.
namespace {
void PauseBeforeNextLook(DWORD start) { ::Sleep(std::min<DWORD>(100, 10 + (::GetTickCount() - start) / 20)); }
}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeoutMs; PauseBeforeNextLook(start)) {
        if (condition()) return true;
    }
    return condition();
}

bool Window::WaitGone(DWORD timeoutMs) const {
    return WaitUntil([this] { return !Exists(); }, timeoutMs);
}

bool Window::WaitHidden(DWORD timeoutMs) const {
    return WaitUntil([this] { return !Visible(); }, timeoutMs);
}

std::string AnswerEnter(const Window& prompt) {
    std::string text = prompt.Control(1002).Text();
    prompt.PressEnter();
    EXPECT_TRUE(prompt.WaitGone()) << "the prompt did not close on ENTER: " << text;
    return text;
}

std::string AnswerEscape(const Window& prompt) {
    std::string text = prompt.Control(1002).Text();
    prompt.PressEscape();
    EXPECT_TRUE(prompt.WaitGone()) << "the prompt did not close on ESC: " << text;
    return text;
}

namespace {
struct OtherWindowStart {
    std::string title;
    HWND hwnd = nullptr;
    HANDLE ready = nullptr;
};

DWORD WINAPI RunOtherWindow(void* parameter) {
    auto* start = static_cast<OtherWindowStart*>(parameter);
    HWND hwnd = ::CreateWindowExA(0, "STATIC", start->title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 80,
                                  nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    start->hwnd = hwnd;
    ::SetEvent(start->ready);
    if (!hwnd) return 1;
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_APP) {
            ::DestroyWindow(hwnd);
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
}  // namespace

OtherWindow::OtherWindow(const std::string& title, bool foreground) {
    OtherWindowStart start{title, nullptr, ::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    DWORD threadId = 0;
    m_thread = ::CreateThread(nullptr, 0, RunOtherWindow, &start, 0, &threadId);
    ::WaitForSingleObject(start.ready, kTimeoutMs);
    ::CloseHandle(start.ready);
    m_hwnd = start.hwnd;
    EXPECT_TRUE(m_hwnd) << title;
    if (m_hwnd && foreground) ::SetForegroundWindow(m_hwnd);
}

void OtherWindow::SinkToBottom() const {
    ::SetWindowPos(m_hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void OtherWindow::Close() {
    if (!m_thread) return;
    ::PostThreadMessageA(::GetThreadId(m_thread), WM_APP, 0, 0);
    ::WaitForSingleObject(m_thread, kTimeoutMs);
    ::CloseHandle(m_thread);
    m_thread = nullptr;
    m_hwnd = nullptr;
}

// ---------------------------------------------------------------- the program

namespace {
bool StillRunning(const PROCESS_INFORMATION& process) {
    return process.hProcess && ::WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

// Ends a program this bench started, if it still runs, and lets go of its handles.
void EndAndClose(PROCESS_INFORMATION& process) {
    if (!process.hProcess) return;
    if (StillRunning(process)) {
        ::TerminateProcess(process.hProcess, 99);
        ::WaitForSingleObject(process.hProcess, kTimeoutMs);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION{};
}

// Starts a program by its quoted path, with the folder given as its current directory.
PROCESS_INFORMATION StartProgram(const std::string& program, const std::string& arguments, const std::string& current) {
    std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          current.empty() ? nullptr : current.c_str(), &startup, &process)) {
        ADD_FAILURE() << "could not start " << program << ": error " << ::GetLastError();
        return PROCESS_INFORMATION{};
    }
    return process;
}
}  // namespace

Wizard::Wizard(const StartOptions& options) : m_checkPrompts(options.checkPrompts) {
    std::string program = options.folder + "\\" +
                          (options.program.empty() ? std::string("Kelvo Braille display setup.exe") : options.program);
    // On Windows the program may take the foreground, as when a user starts it, only if this one lets it.
    if (options.grantForeground) ::AllowSetForegroundWindow(ASFW_ANY);
    m_process = StartProgram(program, options.arguments,
                             options.currentDirectory.empty() ? options.folder : options.currentDirectory);
}

Wizard::~Wizard() {
    if (Running()) ADD_FAILURE() << "the program was still running at the end of the scenario; ended it";
    EndAndClose(m_process);
}

bool Wizard::Running() const { return StillRunning(m_process); }

namespace {
struct Search {
    const std::string* title;
    std::vector<std::pair<HWND, DWORD>> found;  // each window of the title, with its process
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t wide[512] = L"";
    ::GetWindowTextW(hwnd, wide, 512);
    char title[1024] = "";
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, title, sizeof title, nullptr, nullptr);
    DWORD pid = 0;
    if (*search->title == title && ::GetWindowThreadProcessId(hwnd, &pid)) search->found.emplace_back(hwnd, pid);
    return TRUE;
}

// The processes the program started.
std::vector<DWORD> ChildrenOf(DWORD program) {
    std::vector<DWORD> pids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == program) pids.push_back(entry.th32ProcessID);
    }
    if (snapshot != INVALID_HANDLE_VALUE) ::CloseHandle(snapshot);
    return pids;
}

// The windows of the title that belong to the program or, with children, to a process it started: the one-file
// release's windows are those of the setup it runs. The processes are listed only for a window of another process:
// a snapshot of them at every look of a wait kept Wine's server busy, where Wine is emulated, from the very program
// the wait was for.
std::vector<HWND> WindowsOf(DWORD program, const std::string& title, bool children) {
    Search search{&title, {}};
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
    std::vector<HWND> windows;
    std::vector<DWORD> started;
    bool listed = false;
    for (const auto& [hwnd, pid] : search.found) {
        if (pid != program && children && !listed) {
            started = ChildrenOf(program);
            listed = true;
        }
        if (pid == program || std::find(started.begin(), started.end(), pid) != started.end()) windows.push_back(hwnd);
    }
    return windows;
}
}  // namespace

std::vector<HWND> Wizard::Windows(const std::string& title) const {
    return WindowsOf(m_process.dwProcessId, title, true);
}

namespace {
struct Shown {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectShown(HWND hwnd, LPARAM lParam) {
    auto* shown = reinterpret_cast<Shown*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == shown->pid && ::IsWindowVisible(hwnd)) shown->found.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> Wizard::ShownWindows() const {
    Shown shown{m_process.dwProcessId, {}};
    ::EnumWindows(CollectShown, reinterpret_cast<LPARAM>(&shown));
    return shown.found;
}

Window Wizard::FindWindowTitled(const std::string& title, HWND other, DWORD timeoutMs) const {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeoutMs; PauseBeforeNextLook(start)) {
        for (HWND hwnd : Windows(title)) {
            if (hwnd != other && ::IsWindowVisible(hwnd)) return Window(hwnd);
        }
        if (!Running()) break;
    }
    return Window();
}

Window Wizard::WaitWindow(const std::string& title, HWND other, DWORD timeoutMs) const {
    Window window = FindWindowTitled(title, other, timeoutMs);
    if (!window.Handle()) ADD_FAILURE() << "no window titled \"" << title << "\" appeared";
    return window;
}

// Ready once the dialog manager has put the focus into the message field.
Window Wizard::ReadyPrompt(Window prompt, DWORD timeoutMs) const {
    if (!prompt.Handle()) return prompt;
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeoutMs; PauseBeforeNextLook(start)) {
        if (prompt.Focus().Handle() == prompt.Control(1002).Handle()) break;
    }
    if (m_checkPrompts) ExpectReadable(prompt);
    return prompt;
}

Window Wizard::WaitPrompt(HWND previous, DWORD timeoutMs) const {
    return ReadyPrompt(WaitWindow("Kelvo:Caution", previous, timeoutMs), timeoutMs);
}

Window Wizard::NextPromptOrEnd(HWND previous, DWORD timeoutMs) const {
    Window prompt = FindWindowTitled("Kelvo:Caution", previous, timeoutMs);
    if (!prompt.Handle() && Running()) ADD_FAILURE() << "no prompt appeared, and the program still runs";
    return ReadyPrompt(prompt, timeoutMs);
}

bool Wizard::NoWindowFor(const std::string& title, DWORD ms) const {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < ms; ::Sleep(10)) {
        for (HWND hwnd : Windows(title)) {
            if (::IsWindowVisible(hwnd)) return false;
        }
    }
    return true;
}

DWORD Wizard::WaitExit(DWORD timeoutMs) {
    if (!m_process.hProcess) return STILL_ACTIVE;
    if (::WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

// ---------------------------------------------------------------- Window-Eyes' stand-in

WindowEyesProgram::WindowEyesProgram(const WindowEyesShutdown& shutdown) {
    auto argument = [](const std::string& path) { return path.empty() ? std::string("-") : "\"" + path + "\""; };
    m_process = StartProgram(ProgramFolder() + "\\window-eyes-stand-in.exe",
                             std::to_string(shutdown.lingerMs) + " " + argument(shutdown.holds) + " " +
                                 argument(shutdown.savesSettings) + (shutdown.refusesOpen ? " refuse" : " -"),
                             "");
    WaitUntil([this] {
        std::vector<HWND> found = WindowsOf(m_process.dwProcessId, "Window-Eyes", false);
        m_window = found.empty() ? nullptr : found.front();
        return m_window || !Running();
    });
    EXPECT_TRUE(m_window) << "Window-Eyes' stand-in shows no window";
}

WindowEyesProgram::~WindowEyesProgram() { EndAndClose(m_process); }

bool WindowEyesProgram::Running() const { return StillRunning(m_process); }

void WindowEyesProgram::Close() {
    ::PostMessageA(m_window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Window(m_window).WaitGone()) << "Window-Eyes' stand-in kept its window";
    m_windowGoneAt = ::GetTickCount();
}

DWORD WindowEyesProgram::WaitEnded() {
    if (!m_process.hProcess || ::WaitForSingleObject(m_process.hProcess, kTimeoutMs) != WAIT_OBJECT_0) return 0;
    return ::GetTickCount();
}

// ---------------------------------------------------------------- whether windows answer, and the foreground

bool Answers(HWND window, DWORD withinMs) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, withinMs, &result) && !::IsHungAppWindow(window);
}

ForegroundSampler::ForegroundSampler() { m_thread = ::CreateThread(nullptr, 0, Run, this, 0, nullptr); }

DWORD WINAPI ForegroundSampler::Run(void* parameter) {
    auto* sampler = static_cast<ForegroundSampler*>(parameter);
    while (!sampler->m_stop) {
        HWND foreground = ::GetForegroundWindow();
        if (sampler->m_stays.empty() || sampler->m_stays.back() != foreground) sampler->m_stays.push_back(foreground);
        sampler->m_samples = sampler->m_samples + 1;
        ::Sleep(2);
    }
    return 0;
}

std::vector<HWND> ForegroundSampler::Stop() {
    if (m_thread) {
        ::InterlockedExchange(&m_stop, 1);
        ::WaitForSingleObject(m_thread, kTimeoutMs);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }
    return m_stays;
}

// ---------------------------------------------------------------- keys as a keyboard gives them

namespace {
INPUT Mouse(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = flags;
    return input;
}

INPUT Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(key, 0));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void Type(std::vector<INPUT> keys) {
    UINT sent = ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    EXPECT_EQ(keys.size(), sent) << "SendInput was refused: error " << ::GetLastError();
}
}  // namespace

void TypeKey(WORD key) { Type({Key(key, false), Key(key, true)}); }

void TypeAltKey(WORD key) { Type({Key(VK_MENU, false), Key(key, false), Key(key, true), Key(VK_MENU, true)}); }

// In the title bar, where a click activates a window and presses none of its buttons.
void ClickWithTheMouse(HWND window) {
    RECT area{};
    ::GetWindowRect(window, &area);
    int top = area.top + ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    LONG x = ((area.left + area.right) / 2) * 65535 / ::GetSystemMetrics(SM_CXSCREEN);
    LONG y = top * 65535 / ::GetSystemMetrics(SM_CYSCREEN);
    Type(
        {Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y), Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)});
}

bool WaitInFront(const Window& prompt, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            return ::GetForegroundWindow() == prompt.Handle() &&
                   prompt.Focus().Handle() == prompt.Control(1002).Handle();
        },
        timeoutMs);
}

}  // namespace bench
