// The setup is started by its absolute, quoted path, so that no other program is run in its place (an unquoted path
// with blanks runs "C:\...\Kelvo.exe" where one exists), and with its own folder as current directory, where a
// vendor's installer that looks for its files in the current directory finds them.
//
// The folder is used by the setup's whole tree, not the setup alone: a driver installer that starts another program
// and ends, or a program the setup leaves running. Windows' job objects hold that tree: a process in a job stays in it
// and so does every process it starts (unless the job lets them break away, which this one does not); the job counts
// its active processes and tells a completion port when the last has ended (JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO); and
// a job with JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE ends every process in it when its last handle closes, which is this
// program's, closed by Windows however this program ends.
#include "unpack/SetupProcess.h"

namespace {
constexpr DWORD kPollMs = 1000;  // the completion port's messages may be lost (the documentation says so)

// The job for the setup's tree, with its completion port; null where none could be made.
struct TreeJob {
    HANDLE job = nullptr;
    HANDLE port = nullptr;

    TreeJob() {
        job = ::CreateJobObjectW(nullptr, nullptr);
        port = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job, port};
        if (!job || !port ||
            !::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
            !::SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                       sizeof association)) {
            Close();
        }
    }
    ~TreeJob() { Close(); }
    TreeJob(const TreeJob&) = delete;
    TreeJob& operator=(const TreeJob&) = delete;

    void Close() {
        if (job) ::CloseHandle(job);
        if (port) ::CloseHandle(port);
        job = port = nullptr;
    }

    // Until the job's last process has ended: the count is the job's own, the port only wakes the wait.
    void WaitUntilEmpty() const {
        for (;;) {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
            if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                             nullptr) ||
                accounting.ActiveProcesses == 0) {
                return;
            }
            DWORD message = 0;
            ULONG_PTR key = 0;
            LPOVERLAPPED overlapped = nullptr;
            ::GetQueuedCompletionStatus(port, &message, &key, &overlapped, kPollMs);
        }
    }
};

// Windows 7 nests no jobs: inside a job that lets no process break away (a scheduled task's, a deployment tool's),
// AssignProcessToJobObject fails with ERROR_ACCESS_DENIED, and the setup runs in that job only. Every process of its
// tree stays in that job then, since none may break away: the processes of this program's own job created since the
// setup are waited for, which takes in the whole tree (and perhaps an unrelated newcomer to that job, which only
// makes the wait longer). Ending the tree with this program is the outer job's to do there.
void WaitForJobmatesSince(const FILETIME& since) {
    const DWORD kIds = 1024;
    DWORD size = sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + kIds * sizeof(ULONG_PTR);
    auto* list = static_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(::HeapAlloc(::GetProcessHeap(), 0, size));
    for (bool waited = list != nullptr; waited;) {
        waited = false;
        // A null handle: the job this program is in.
        if (!::QueryInformationJobObject(nullptr, JobObjectBasicProcessIdList, list, size, nullptr) &&
            ::GetLastError() != ERROR_MORE_DATA) {
            break;
        }
        for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
            DWORD id = static_cast<DWORD>(list->ProcessIdList[i]);
            HANDLE process = id == ::GetCurrentProcessId()
                                 ? nullptr
                                 : ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
            if (!process) continue;
            FILETIME created{}, unused{};
            if (::GetProcessTimes(process, &created, &unused, &unused, &unused) &&
                ::CompareFileTime(&created, &since) >= 0 && ::WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0) {
                waited = true;  // asked again: it may have started others
            }
            ::CloseHandle(process);
        }
    }
    if (list) ::HeapFree(::GetProcessHeap(), 0, list);
}
}  // namespace

bool RunSetup(const wchar_t* program, const wchar_t* folder, DWORD* exitCode, DWORD* error) {
    wchar_t commandLine[MAX_PATH + 2];
    int length = ::lstrlenW(program);
    if (length + 3 > MAX_PATH + 2) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    commandLine[0] = L'"';
    ::lstrcpyW(commandLine + 1, program);
    commandLine[length + 1] = L'"';
    commandLine[length + 2] = L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    TreeJob tree;
    // Inside a job already: out of it where that job allows (Windows 7 puts a process in one job only), else in it.
    BOOL inJob = FALSE;
    ::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob);
    const DWORD flags = CREATE_SUSPENDED;
    if (!(inJob && ::CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, flags | CREATE_BREAKAWAY_FROM_JOB,
                                    nullptr, folder, &startup, &process)) &&
        !::CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, flags, nullptr, folder, &startup, &process)) {
        *error = ::GetLastError();
        return false;
    }
    // Put in the job before its first instruction runs, so that everything it starts is in the job too.
    bool held = tree.job && ::AssignProcessToJobObject(tree.job, process.hProcess);
    // Windows lets a process bring its window to the front only when it may (SetForegroundWindow's rules): this one
    // may, as the program the user just started; handing that on before the setup's first line runs lets its main
    // window open in front, where the screen reader reads it at once.
    ::AllowSetForegroundWindow(process.dwProcessId);
    ::ResumeThread(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    *exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, exitCode);
    if (held) {
        tree.WaitUntilEmpty();
    } else {
        FILETIME created{}, unused{};
        if (::GetProcessTimes(process.hProcess, &created, &unused, &unused, &unused)) WaitForJobmatesSince(created);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}
