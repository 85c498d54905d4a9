// The setup is started by its absolute, quoted path, so that no other program is run in its place (an unquoted path
// with blanks runs "C:\...\Kelvo.exe" where one exists), and with its own folder as current directory, where a
// vendor's installer that looks for its files in the current directory finds them.
#include "unpack/SetupProcess.h"

bool RunSetup(const std::wstring& program, const std::wstring& folder, DWORD* exitCode, DWORD* error) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          folder.c_str(), &startup, &process)) {
        *error = ::GetLastError();
        return false;
    }
    // Windows lets a process bring its window to the front only when it may (SetForegroundWindow's rules): this one
    // may, as the program the user just started; handing that on before the setup's first line runs lets its main
    // window open in front, where the screen reader reads it at once.
    ::AllowSetForegroundWindow(process.dwProcessId);
    ::ResumeThread(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    *exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}
