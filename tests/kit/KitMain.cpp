// The Windows test kit's runner (run-tests.cmd starts it): every end-to-end scenario of kelvo_e2e.exe beside it, each
// as its own process with a time limit, on the machine it runs on, which it gives back as it found it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Footprint.h"
#include "MachineFiles.h"
#include "MachineRegistry.h"
#include "MachineSave.h"
#include "Report.h"
#include "ScenarioProcess.h"

namespace {
constexpr char kUsage[] =
    "run-tests [/yes] [/filter=PATTERN] [/limit=SECONDS]\n"
    "  /yes      no question before the run (for a hosted CI runner)\n"
    "  /filter   only the scenarios this GoogleTest filter selects (Begin.*:Hidden1003.*)\n"
    "  /limit    the time limit of each scenario (default 120 seconds)\n";

struct Options {
    bool yes = false;
    std::string filter;
    unsigned limit = 120;
    bool valid = true;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (_stricmp(argument.c_str(), "/yes") == 0) {
            options.yes = true;
        } else if (_strnicmp(argument.c_str(), "/filter=", 8) == 0) {
            options.filter = argument.substr(8);
        } else if (_strnicmp(argument.c_str(), "/limit=", 7) == 0 && std::atoi(argument.c_str() + 7) > 0) {
            options.limit = static_cast<unsigned>(std::atoi(argument.c_str() + 7));
        } else {
            options.valid = false;
        }
    }
    return options;
}

bool Elevated() {
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    bool elevated = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) &&
                    ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                    elevation.TokenIsElevated;
    if (token) ::CloseHandle(token);
    return elevated;
}

// A service's window station has no visible desktop: the scenarios' windows would open where no input reaches them.
bool VisibleDesktop() {
    USEROBJECTFLAGS flags{};
    DWORD size = 0;
    return ::GetUserObjectInformationA(::GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &size) &&
           (flags.dwFlags & WSF_VISIBLE);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A folder with anything in it; the empty folder a scenario leaves behind holds nothing of the PC's.
bool HoldsAnything(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
        std::string name = found.cFileName;
        any = name != "." && name != "..";
    } while (!any && ::FindNextFileA(search, &found));
    ::FindClose(search);
    return any;
}

bool Agreed() {
    std::printf(
        "The end-to-end scenarios replace this PC's settings of the screen readers and of the braille display for\n"
        "the run: the registry keys of Window-Eyes, Dolphin, the CP210x driver and the display's device, and the\n"
        "product name and registered owner of Windows. They are saved first and put back after the last scenario.\n"
        "Close every screen reader before you go on. Go on? [y/N] ");
    std::fflush(stdout);
    char answer[16] = "";
    if (!std::fgets(answer, sizeof answer, stdin)) return false;
    return answer[0] == 'y' || answer[0] == 'Y';
}

// CTRL+C reaches the scenario too, which ends; the runner stops after it and still puts the machine back.
volatile LONG g_stopped = 0;
BOOL WINAPI OnControl(DWORD) {
    ::InterlockedExchange(&g_stopped, 1);
    return TRUE;
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "run-tests: %s\n", why.c_str());
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    if (!options.valid) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!Elevated()) {
        return Refuse(
            "run it as administrator (right-click run-tests.cmd, Run as administrator): the scenarios "
            "start the setup, which Windows runs elevated.");
    }
    if (!VisibleDesktop()) {
        return Refuse(
            "there is no visible desktop here (a service's session): the scenarios work the setup through "
            "its windows. Run it in a signed-in user's session.");
    }
    if (!machine::EnableRestorePrivilege()) {
        return Refuse("the restore privilege cannot be enabled; the display's device keys need it.");
    }
    std::string folder = machine::ProgramFolder();
    std::string saved = folder + "\\machine-saved.txt";
    std::string failure;
    // A run that was killed left its save: the machine is put back from it before anything else.
    if (Exists(saved)) {
        std::printf("Putting back the settings that an earlier, interrupted run saved.\n");
        if (!kit::RestoreMachine(saved, failure)) return Refuse(failure + "; the save stays in " + saved);
        ::DeleteFileA(saved.c_str());
    }
    for (const std::string& used : machine::Folders()) {
        if (HoldsAnything(used))
            return Refuse(used + " holds files; the scenarios would replace it. Move it away first.");
    }
    if (!options.yes && !Agreed()) {
        std::printf("Nothing was changed.\n");
        return 2;
    }

    std::string windows = kit::DescribeWindows(true);
    std::string program = folder + "\\kelvo_e2e.exe";
    std::vector<std::string> names = kit::ListScenarios(program, options.filter);
    if (names.empty())
        return Refuse("no scenarios to run: the filter selects none, or kelvo_e2e.exe is not beside run-tests.cmd");
    if (!kit::SaveMachine(saved)) return Refuse("could not save the settings the scenarios replace; nothing was run");

    ::SetConsoleCtrlHandler(OnControl, TRUE);
    std::string logs = folder + "\\logs";
    ::CreateDirectoryA(logs.c_str(), nullptr);
    std::printf("Windows: %s\n", windows.c_str());
    std::vector<kit::Outcome> outcomes;
    for (const std::string& name : names) {
        kit::Outcome outcome;
        if (g_stopped) {
            outcome.name = name;
            outcome.message = "not run: the run was stopped";
        } else {
            outcome = kit::RunScenario(program, name, logs + "\\" + name + ".txt", options.limit);
        }
        std::printf("%s  %s  %.1f s%s%s\n", outcome.passed ? "passed" : "FAILED", name.c_str(), outcome.seconds,
                    outcome.passed ? "" : "  ", outcome.message.c_str());
        // A failure's whole output goes to the error stream as well: its log may be held by a process it left.
        if (!outcome.passed) std::fprintf(stderr, "%s\n", outcome.output.c_str());
        std::fflush(stdout);
        outcomes.push_back(outcome);
    }

    bool restored = kit::RestoreMachine(saved, failure);
    if (restored) ::DeleteFileA(saved.c_str());
    bool written = kit::WriteReports(folder, windows, outcomes);
    int failed = 0;
    for (const kit::Outcome& outcome : outcomes) failed += outcome.passed ? 0 : 1;
    std::printf("%d passed, %d failed\n", static_cast<int>(outcomes.size()) - failed, failed);
    if (!restored) return Refuse(failure + "; the save stays in " + saved + " and the next run puts it back");
    if (!written) return Refuse("could not write report.txt and report.xml in " + folder);
    return failed == 0 ? 0 : 1;
}
