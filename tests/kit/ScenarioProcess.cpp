// Each scenario of the end-to-end program as a process of its own, with a time limit, as CTest runs it.
#include "ScenarioProcess.h"

#include <windows.h>

#include "MachineFiles.h"

#include <sstream>

namespace kit {

namespace {
struct Ended {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
};

// A job holds the program and whatever it starts (the setup, the driver installer), so a time-out ends them all.
Ended Run(const std::string& commandLine, const std::string& log, DWORD limitMs) {
    Ended ended;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = ::CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return ended;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION process{};
    // Ended only on a time-out, not when closed: Wine may start its desktop process from within the job.
    HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
    // Windows lets only the foreground process hand the foreground on; the scenarios' windows need it as a user's do.
    ::AllowSetForegroundWindow(ASFW_ANY);
    ended.started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                                     &startup, &process);
    ::CloseHandle(output);
    if (!ended.started) {
        if (job) ::CloseHandle(job);
        return ended;
    }
    // Windows 7 nests no jobs: inside a CI runner's job the scenario runs without one, and a time-out ends only it.
    bool held = job && ::AssignProcessToJobObject(job, process.hProcess);
    ::ResumeThread(process.hThread);
    if (::WaitForSingleObject(process.hProcess, limitMs) == WAIT_TIMEOUT) {
        ended.timedOut = true;
        if (held) ::TerminateJobObject(job, 1);
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, 10000);
    }
    ::GetExitCodeProcess(process.hProcess, &ended.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (job) ::CloseHandle(job);
    return ended;
}

std::string Trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? "" : line.substr(first);
}

// GoogleTest writes "file:line: Failure" (or "Skipped") and the message on the lines after it.
std::string FirstMessage(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    bool next = false;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        // ADD_FAILURE and FAIL write "Failed" alone and their message on the next line.
        if (next && !line.empty() && line != "Failed") return line;
        std::size_t at = line.rfind(": ");
        if (at != std::string::npos && (line.substr(at) == ": Failure" || line.substr(at) == ": Skipped")) {
            next = true;
        }
    }
    return "";
}
}  // namespace

std::vector<std::string> ListScenarios(const std::string& program, const std::string& filter) {
    std::string log = program + ".list.txt";
    std::string command = "\"" + program + "\" --gtest_list_tests";
    if (!filter.empty()) command += " \"--gtest_filter=" + filter + "\"";
    Ended ended = Run(command, log, 60000);
    std::string output = machine::ReadFileBytes(log);
    ::DeleteFileA(log.c_str());
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

Outcome RunScenario(const std::string& program, const std::string& name, const std::string& log,
                    unsigned limitSeconds) {
    Outcome outcome;
    outcome.name = name;
    DWORD start = ::GetTickCount();
    Ended ended = Run("\"" + program + "\" --gtest_color=no \"--gtest_filter=" + name + "\"", log, limitSeconds * 1000);
    outcome.seconds = (::GetTickCount() - start) / 1000.0;
    std::string output = machine::ReadFileBytes(log);
    outcome.passed = ended.started && !ended.timedOut && ended.exitCode == 0 &&
                     output.find("[  PASSED  ] 1 test.") != std::string::npos &&
                     output.find("[  SKIPPED ]") == std::string::npos;
    if (outcome.passed) return outcome;
    outcome.output = output;
    std::string first = FirstMessage(output);
    if (!ended.started) {
        outcome.message = "could not be started";
    } else if (ended.timedOut) {
        outcome.message =
            "timed out after " + std::to_string(limitSeconds) + " s" + (first.empty() ? "" : ": " + first);
    } else if (output.find("[  SKIPPED ]") != std::string::npos) {
        outcome.message = "skipped: " + first;
    } else if (!first.empty()) {
        outcome.message = first;
    } else {
        outcome.message = "ended with exit code " + std::to_string(ended.exitCode);
    }
    return outcome;
}

}  // namespace kit
