// Each scenario of the end-to-end program as a process of its own, with a time limit: on a tester's PC, one scenario's
// crash or leftover window never reaches the next.
#include "ScenarioProcess.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <sstream>

#include "MachineFiles.h"
#include "MachineRegistry.h"

namespace kit {

namespace {
struct Ended {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
};

// One job for the whole run, which ends everything in it when its last handle closes: when this program ends, killed
// or not, the scenario and whatever it started (the setup, the driver installer) end with it.
HANDLE Job() {
    static const HANDLE job = [] {
        HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made) ::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

// The scenario under way, for EndRunningScenario; held: in the job.
struct Running {
    volatile DWORD id = 0;
    volatile bool held = false;
} g_running;

ULONGLONG Created(HANDLE process) {
    FILETIME created{}, unused{};
    if (!::GetProcessTimes(process, &created, &unused, &unused, &unused)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

struct Process {
    DWORD id;
    DWORD parent;
    ULONGLONG created;
    std::wstring name;   // the program's file name
    std::wstring image;  // its full path, where Windows tells it
};

std::vector<Process> Processes() {
    std::vector<Process> processes;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        Process process{entry.th32ProcessID, entry.th32ParentProcessID, 0, entry.szExeFile, L""};
        HANDLE handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (handle) {
            process.created = Created(handle);
            wchar_t image[MAX_PATH * 2];
            DWORD size = sizeof image / sizeof image[0];
            if (::QueryFullProcessImageNameW(handle, 0, image, &size)) process.image.assign(image, size);
            ::CloseHandle(handle);
        }
        processes.push_back(process);
    }
    ::CloseHandle(snapshot);
    return processes;
}

// The processes of `ended` and every process below them, found through their parents' ids: a "child" made before
// its parent belongs to an earlier process of that id, and is left alone. Ended parents first, so that none starts
// another.
int EndWithDescendants(std::vector<DWORD> ended, const std::vector<Process>& processes) {
    for (std::size_t at = 0; at < ended.size(); ++at) {
        const Process* parent = nullptr;
        for (const Process& process : processes) parent = process.id == ended[at] ? &process : parent;
        for (const Process& child : processes) {
            if (parent && child.parent == parent->id && child.created >= parent->created &&
                child.id != ::GetCurrentProcessId() && std::find(ended.begin(), ended.end(), child.id) == ended.end()) {
                ended.push_back(child.id);
            }
        }
    }
    int count = 0;
    for (DWORD id : ended) {
        HANDLE handle = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!handle) continue;
        if (::TerminateProcess(handle, 1)) ++count;
        ::WaitForSingleObject(handle, 10000);
        ::CloseHandle(handle);
    }
    return count;
}

// The scenario in the run's job. Windows 7 nests no jobs: inside a CI runner's job, the scenario breaks away from it
// where that job allows it; where it does not, the scenario runs outside any job of this run, and its descendants
// are found through their parents when it must end.
PROCESS_INFORMATION Start(const std::wstring& commandLine, STARTUPINFOW& startup, bool& held) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION process{};
    BOOL inJob = FALSE;
    ::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob);
    DWORD flags = CREATE_SUSPENDED | (inJob ? CREATE_BREAKAWAY_FROM_JOB : 0);
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process) &&
        !::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                          &process)) {
        return process;
    }
    held = Job() && ::AssignProcessToJobObject(Job(), process.hProcess);
    return process;
}

Ended Run(const std::wstring& commandLine, const std::wstring& log, DWORD limitMs, bool grantForeground) {
    Ended ended;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = ::CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return ended;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    // Windows lets only the foreground process hand the foreground on; the scenarios' windows need it as a user's do,
    // but for those that show what a user meets when nothing grants the setup the foreground.
    if (grantForeground) ::AllowSetForegroundWindow(ASFW_ANY);
    bool held = false;
    PROCESS_INFORMATION process = Start(commandLine, startup, held);
    ::CloseHandle(output);
    ended.started = process.hProcess != nullptr;
    if (!ended.started) return ended;
    g_running.held = held;
    g_running.id = process.dwProcessId;
    ::ResumeThread(process.hThread);
    if (::WaitForSingleObject(process.hProcess, limitMs) == WAIT_TIMEOUT) {
        ended.timedOut = true;
        EndRunningScenario();
        ::WaitForSingleObject(process.hProcess, 10000);
    }
    g_running.id = 0;
    ::GetExitCodeProcess(process.hProcess, &ended.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ended;
}

std::string Trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? "" : line.substr(first);
}

// GoogleTest writes "file:line: Failure" (or "Skipped", the `kind`) and the message on the lines after it.
std::string FirstMessage(const std::string& output, const std::string& kind) {
    std::istringstream lines(output);
    std::string line;
    bool next = false;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        // ADD_FAILURE and FAIL write "Failed" alone and their message on the next line; a bare GTEST_SKIP none.
        if (next && !line.empty() && line != "Failed") return line.compare(0, 3, "[  ") == 0 ? "" : line;
        std::size_t at = line.rfind(": ");
        if (at != std::string::npos && line.substr(at + 2) == kind) next = true;
    }
    return "";
}
}  // namespace

std::vector<std::string> ListScenarios(const std::wstring& program, const std::string& filter) {
    std::wstring log = program + L".list.txt";
    std::wstring command = L"\"" + program + L"\" --gtest_list_tests";
    if (!filter.empty()) command += L" \"--gtest_filter=" + machine::Wide(filter) + L"\"";
    Ended ended = Run(command, log, 60000, true);
    std::string output = machine::ReadFileBytes(log);
    ::DeleteFileW(log.c_str());
    std::vector<std::string> names;
    if (!ended.started || ended.timedOut || ended.exitCode != 0) return names;
    std::istringstream lines(output);
    std::string line, suite;
    while (std::getline(lines, line)) {
        std::string entry = Trimmed(line.substr(0, line.find('#')));
        if (entry.empty()) continue;
        if (line[0] != ' ') {
            suite = entry;
        } else {
            names.push_back(suite + entry);
        }
    }
    return names;
}

// The scenarios that work the setup as a user does on a real PC, with real keys and no foreground granted.
constexpr char kRealInputScenarios[] = "RealInput.";

Outcome RunScenario(const std::wstring& program, const std::string& name, const std::wstring& log,
                    unsigned limitSeconds) {
    Outcome outcome;
    outcome.name = name;
    DWORD start = ::GetTickCount();
    Ended ended = Run(L"\"" + program + L"\" --gtest_color=no \"--gtest_filter=" + machine::Wide(name) + L"\"", log,
                      limitSeconds * 1000, name.rfind(kRealInputScenarios, 0) != 0);
    outcome.seconds = (::GetTickCount() - start) / 1000.0;
    std::string output = machine::ReadFileBytes(log);
    bool ran = ended.started && !ended.timedOut && ended.exitCode == 0;
    // GoogleTest counts a scenario with a failure besides its skip as failed, and exits 1.
    if (ran && output.find("[  SKIPPED ] 1 test,") != std::string::npos &&
        output.find("[  FAILED  ]") == std::string::npos) {
        outcome.verdict = Verdict::skipped;
        outcome.message = FirstMessage(output, "Skipped");
        if (outcome.message.empty()) outcome.message = "no reason given";
        return outcome;
    }
    if (ran && output.find("[  PASSED  ] 1 test.") != std::string::npos &&
        output.find("[  SKIPPED ]") == std::string::npos) {
        outcome.verdict = Verdict::passed;
        return outcome;
    }
    outcome.output = output;
    std::string first = FirstMessage(output, "Failure");
    if (!ended.started) {
        outcome.message = "could not be started";
    } else if (ended.timedOut) {
        outcome.message =
            "timed out after " + std::to_string(limitSeconds) + " s" + (first.empty() ? "" : ": " + first);
    } else if (!first.empty()) {
        outcome.message = first;
    } else {
        outcome.message = "ended with exit code " + std::to_string(ended.exitCode);
    }
    return outcome;
}

void EndRunningScenario() {
    DWORD id = g_running.id;
    if (!id) return;
    if (g_running.held) {
        ::TerminateJobObject(Job(), 1);
    } else {
        EndWithDescendants({id}, Processes());
    }
}

int EndLeftovers(const std::vector<std::string>& folders) {
    std::vector<Process> processes = Processes();
    std::vector<DWORD> leftovers;
    for (const Process& process : processes) {
        bool ours = _wcsicmp(process.name.c_str(), L"kelvo_e2e.exe") == 0 ||
                    _wcsicmp(process.name.c_str(), L"prompt-probe.exe") == 0;
        for (const std::string& folder : folders) {
            std::wstring inside = machine::Wide(folder) + L"\\";
            ours = ours || _wcsnicmp(process.image.c_str(), inside.c_str(), inside.size()) == 0;
        }
        if (ours && process.id != ::GetCurrentProcessId()) leftovers.push_back(process.id);
    }
    return leftovers.empty() ? 0 : EndWithDescendants(leftovers, processes);
}

}  // namespace kit
