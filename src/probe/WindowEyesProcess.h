// Window-Eyes as the setup waits for the user to close it: its main window, and the process behind it.
#pragma once

#include <windows.h>

class WindowEyesProcess {
public:
    WindowEyesProcess() = default;
    ~WindowEyesProcess();
    WindowEyesProcess(const WindowEyesProcess&) = delete;
    WindowEyesProcess& operator=(const WindowEyesProcess&) = delete;

    // Whether Window-Eyes' main window exists; the first time it is found, its process is taken note of.
    bool WindowOpen();
    // Whether Window-Eyes is closed: its window gone and its process ended, or its window gone long enough.
    bool Closed();

private:
    HANDLE m_process = nullptr;
    bool m_windowGone = false;
    DWORD m_windowGoneAt = 0;
};
