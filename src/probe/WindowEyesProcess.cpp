// When Window-Eyes counts as closed: a program that shuts down destroys its main window first, then unloads its
// DLLs and saves its settings, so its files may be changed only once its process has ended too.
#include "probe/WindowEyesProcess.h"

#include "probe/OutsideComponents.h"

namespace {
// A window of that title whose process goes on (a folder window, say) holds the user up no longer than this.
constexpr DWORD kProcessLingerLimitMs = 10000;
}  // namespace

WindowEyesProcess::~WindowEyesProcess() {
    if (m_process) ::CloseHandle(m_process);
}

bool WindowEyesProcess::WindowOpen() {
    HWND window = ::FindWindowA(nullptr, kWindowEyesTitle);
    if (window && !m_process) {
        DWORD id = 0;
        ::GetWindowThreadProcessId(window, &id);
        // SYNCHRONIZE alone: the setup only waits for the process, and may do so whoever runs it.
        m_process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
    }
    return window != nullptr;
}

// A process that could not be opened is taken as ended once its window is gone, as before the process was watched.
bool WindowEyesProcess::Closed() {
    if (WindowOpen()) {
        m_windowGone = false;
        return false;
    }
    if (!m_windowGone) {
        m_windowGone = true;
        m_windowGoneAt = ::GetTickCount();
    }
    if (!m_process || ::WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0) return true;
    return ::GetTickCount() - m_windowGoneAt >= kProcessLingerLimitMs;
}
