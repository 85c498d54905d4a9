// Window-Eyes as the setup waits for the user to close it: its main window, and every process that has shown it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "probe/FileUsers.h"

class WindowEyesProcess {
public:
    WindowEyesProcess() = default;
    ~WindowEyesProcess();
    WindowEyesProcess(const WindowEyesProcess&) = delete;
    WindowEyesProcess& operator=(const WindowEyesProcess&) = delete;

    // The files a running Window-Eyes holds or writes, asked after where its process can't be opened.
    void SetHeldFiles(const std::vector<std::string>& files) { m_files.SetFiles(files); }
    // Whether a main window of Window-Eyes exists; each time, a process behind one not seen before is followed too.
    bool WindowOpen();
    // Whether Window-Eyes is closed: its window gone and every process it had ended, or its window gone long enough.
    bool Closed();

private:
    void Follow(DWORD id);
    bool ProcessesEnded();

    std::vector<DWORD> m_seen;
    std::vector<HANDLE> m_processes;  // those of m_seen that could be opened
    std::vector<DWORD> m_unopened;    // the others, followed through the files they hold
    FileUsers m_files;
    bool m_windowGone = false;
    DWORD m_windowGoneAt = 0;
};
