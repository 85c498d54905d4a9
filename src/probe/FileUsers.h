// FileUsers: which processes use some files, as Windows' Restart Manager tells an installer that replaces them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class FileUsers {
public:
    FileUsers() = default;
    ~FileUsers();
    FileUsers(const FileUsers&) = delete;
    FileUsers& operator=(const FileUsers&) = delete;

    // The files asked after; the session starts when it is first asked.
    void SetFiles(const std::vector<std::string>& files) { m_files = files; }
    // Whether the process uses one of the files. True where the Restart Manager can't tell (before Vista, an error):
    // a caller that waits for the files waits then.
    bool Uses(DWORD processId);

private:
    bool Started();

    std::vector<std::string> m_files;
    bool m_tried = false;
    bool m_started = false;
    DWORD m_session = 0;
};
