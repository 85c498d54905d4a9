// When Window-Eyes counts as closed: a program that shuts down destroys its main window first, then unloads its
// DLLs and saves its settings, so its files may be changed only once its process has ended too. The user may also
// start it again while the setup waits: a new process behind a new window, which is followed as well.
#include "probe/WindowEyesProcess.h"

#include <algorithm>

#include "probe/OutsideComponents.h"

namespace {
// A window of that title whose process goes on (a folder window, say) holds the user up no longer than this.
constexpr DWORD kProcessLingerLimitMs = 10000;

// Opens a process to wait for it, with the debug privilege enabled for that one open and put back as it was. A process
// of another account (the setup runs elevated as an administrator, Window-Eyes as the signed-in user) refuses
// SYNCHRONIZE through its security descriptor; a caller that has enabled SeDebugPrivilege, which administrators hold,
// is granted the access whatever that descriptor says (OpenProcess, Remarks). Wine checks no process security, so the
// first open always succeeds there; only the test kit on Windows meets the refusal.
HANDLE OpenWithDebugPrivilege(DWORD id) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return nullptr;
    TOKEN_PRIVILEGES enable{};
    enable.PrivilegeCount = 1;
    enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous{};
    DWORD size = 0;
    HANDLE process = nullptr;
    if (::LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &enable.Privileges[0].Luid) &&
        ::AdjustTokenPrivileges(token, FALSE, &enable, sizeof previous, &previous, &size) &&
        ::GetLastError() == ERROR_SUCCESS) {
        process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
        ::AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
    }
    ::CloseHandle(token);
    return process;
}

// SYNCHRONIZE alone: the setup only waits for the process.
HANDLE OpenToWait(DWORD id) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process && ::GetLastError() == ERROR_ACCESS_DENIED) process = OpenWithDebugPrivilege(id);
    return process;
}
}  // namespace

WindowEyesProcess::~WindowEyesProcess() {
    for (HANDLE process : m_processes) ::CloseHandle(process);
}

// A held handle keeps its process id from being reused, so an id seen before is that same process.
void WindowEyesProcess::Follow(DWORD id) {
    if (!id || std::find(m_seen.begin(), m_seen.end(), id) != m_seen.end()) return;
    m_seen.push_back(id);
    if (HANDLE process = OpenToWait(id)) {
        m_processes.push_back(process);
    } else {
        m_unopened.push_back(id);
    }
}

// Every window of the title, not only the first: while a Window-Eyes started again and the old one are both up, the
// first found may be the old one's at every check until both are gone, and the new process would never be seen.
bool WindowEyesProcess::WindowOpen() {
    bool open = false;
    for (HWND window = ::FindWindowExA(nullptr, nullptr, nullptr, kWindowEyesTitle); window;
         window = ::FindWindowExA(nullptr, window, nullptr, kWindowEyesTitle)) {
        DWORD id = 0;
        ::GetWindowThreadProcessId(window, &id);
        Follow(id);
        open = true;
    }
    return open;
}

// A process that could not be opened counts as running while the Restart Manager lists it among the users of
// Window-Eyes' files (as Inno Setup waits for the programs that use the files it replaces), and for as long as the
// wait allows where it cannot tell: never as ended merely because its window is gone.
bool WindowEyesProcess::ProcessesEnded() {
    for (HANDLE process : m_processes) {
        if (::WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return false;
    }
    for (DWORD id : m_unopened) {
        if (m_files.Uses(id)) return false;
    }
    return true;
}

bool WindowEyesProcess::Closed() {
    if (WindowOpen()) {
        m_windowGone = false;
        return false;
    }
    if (!m_windowGone) {
        m_windowGone = true;
        m_windowGoneAt = ::GetTickCount();
    }
    return ProcessesEnded() || ::GetTickCount() - m_windowGoneAt >= kProcessLingerLimitMs;
}
