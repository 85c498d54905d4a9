// The Windows test kit's runner (run-tests.cmd starts it): every end-to-end scenario of kelvo_e2e.exe beside it, each
// as its own process with a time limit, on the machine it runs on, which it gives back as it found it.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

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
#include "UiAccess.h"

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

// A folder with anything in it; the empty folder a scenario leaves behind holds nothing of the PC's.
bool HoldsAnything(const std::string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((machine::Wide(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
        std::wstring name = found.cFileName;
        any = name != L"." && name != L"..";
    } while (!any && ::FindNextFileW(search, &found));
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

// One save for the PC, whichever copy of the kit runs: a fresh unzip finds what a killed run left. Only
// administrators and SYSTEM may write there, since what the save names is written into HKEY_LOCAL_MACHINE.
std::wstring SaveFolder() {
    wchar_t common[MAX_PATH] = L"";
    if (::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common) != S_OK) return L"";
    return std::wstring(common) + L"\\Kelvo Windows tests";
}

// What the save names is written into HKEY_LOCAL_MACHINE: a folder or file that a standard user made (in
// ProgramData, where users may make folders) is not trusted. Administrators, SYSTEM and this elevated user may own it.
bool OwnedByAnAdministrator(const std::wstring& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                nullptr, &security) != ERROR_SUCCESS) {
        return false;
    }
    bool trusted = ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(owner, WinLocalSystemSid);
    HANDLE token = nullptr;
    BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    DWORD size = 0;
    if (!trusted && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        trusted = ::GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
                  ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
        ::CloseHandle(token);
    }
    ::LocalFree(security);
    return trusted;
}

std::string Untrusted(const std::wstring& path) {
    return machine::Ansi(path) +
           " belongs to a user who is no administrator: the kit does not put back a save that anyone could have "
           "written. Nothing was changed. Delete or move it, then start again.";
}

bool MakeSaveFolder(const std::wstring& folder) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                           &attributes.lpSecurityDescriptor, nullptr);
    bool made = ::CreateDirectoryW(folder.c_str(), &attributes) || ::GetLastError() == ERROR_ALREADY_EXISTS;
    ::LocalFree(attributes.lpSecurityDescriptor);
    return made;
}

// CTRL+C reaches the scenario too; the runner ends it with all it started, and goes on to the put-back. A closed
// console window, a log-off or a shutdown ends this program once the handler returns: it waits for the put-back.
volatile LONG g_stopped = 0;
HANDLE g_putBack = nullptr;
BOOL WINAPI OnControl(DWORD event) {
    ::InterlockedExchange(&g_stopped, 1);
    kit::EndRunningScenario();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        ::WaitForSingleObject(g_putBack, INFINITE);
    }
    return TRUE;
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "run-tests: %s\n", why.c_str());
    return 2;
}

void PrintFailures(const std::vector<std::string>& failures) {
    for (const std::string& failure : failures) std::fprintf(stderr, "run-tests: %s\n", failure.c_str());
}

// The put-back as a case of the report: a CI that shows the report shows a PC not put back as a failure.
kit::Outcome PutBackOutcome(const std::vector<std::string>& failures, double seconds) {
    kit::Outcome outcome;
    outcome.name = "Kit.MachinePutBack";
    outcome.seconds = seconds;
    outcome.verdict = failures.empty() ? kit::Verdict::passed : kit::Verdict::failed;
    if (failures.empty()) return outcome;
    outcome.message = failures.front();
    if (failures.size() > 1) outcome.message += " (and " + std::to_string(failures.size() - 1) + " more)";
    for (const std::string& failure : failures) outcome.output += failure + "\n";
    return outcome;
}

// Puts back what a killed run left, after ending what it left running: 0 when all went back, else the exit code.
int PutBackEarlierRun(const std::wstring& file) {
    kit::Saved earlier;
    std::string failure;
    if (!kit::ReadMachineSave(file, earlier, failure)) {
        return Refuse(failure +
                      ". Nothing was changed; the file stays for you to look at. Once this PC's settings "
                      "are as they should be, delete it and start again.");
    }
    std::printf("Putting back the settings that an earlier, interrupted run saved in %s.\n",
                machine::Ansi(file).c_str());
    int ended = kit::EndLeftovers(machine::Folders());
    if (ended > 0) std::printf("Ended %d programs that the earlier run left running.\n", ended);
    std::vector<std::string> failures = kit::RestoreMachine(earlier, file);
    if (failures.empty()) return 0;
    PrintFailures(failures);
    Refuse("could not put back all of it; the save stays in " + machine::Ansi(file));
    return 3;
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
    if (!machine::EnableRegistryPrivileges()) {
        return Refuse(
            "the backup, restore and take-ownership privileges cannot be enabled; the display's device keys need "
            "them.");
    }
    // Held until this program ends, however it ends: Windows releases it with the process.
    HANDLE lock = ::CreateMutexW(nullptr, FALSE, L"Global\\Kelvo Windows tests");
    DWORD locked = lock ? ::WaitForSingleObject(lock, 0) : WAIT_FAILED;
    if (locked != WAIT_OBJECT_0 && locked != WAIT_ABANDONED) {
        return Refuse(
            "another run of the kit is under way on this PC (this copy or another); wait for it to end. Nothing "
            "was changed.");
    }
    std::wstring folder = machine::ProgramFolderWide();
    if (machine::ProgramFolder().empty()) {
        return Refuse("the name of the kit's folder, " + machine::Ansi(folder) +
                      ", holds characters this Windows' code page cannot write, and the folder has no short name "
                      "to use instead; the scenarios need one. Unzip the kit into a folder such as C:\\kelvo-kit.");
    }
    std::wstring saveFolder = SaveFolder();
    std::wstring saved = saveFolder + L"\\machine-saved.txt";
    if (saveFolder.empty()) return Refuse("Windows names no folder for all users' program data (ProgramData)");
    bool folderMade = ::GetFileAttributesW(saveFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (folderMade && !OwnedByAnAdministrator(saveFolder)) return Refuse(Untrusted(saveFolder));
    bool earlier = ::GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (earlier && !OwnedByAnAdministrator(saved)) return Refuse(Untrusted(saved));
    int putBack = earlier ? PutBackEarlierRun(saved) : 0;
    if (putBack != 0) return putBack;
    for (const std::string& used : machine::Folders()) {
        if (machine::UserProfile(used)) {
            return Refuse(used +
                          " is the profile of one of this PC's users; the scenarios' owner has that name on a "
                          "Windows of this code page and would write into it. Run the kit on another PC.");
        }
        if (HoldsAnything(used))
            return Refuse(used + " holds files; the scenarios would replace it. Move it away first.");
    }
    if (!options.yes && !Agreed()) {
        std::printf(earlier ? "The earlier run's settings were put back; nothing else was changed.\n"
                            : "Nothing was changed.\n");
        return 2;
    }

    // Both read before the first scenario replaces the product name and Window-Eyes' key.
    std::string windows = kit::DescribeWindows(true);
    std::vector<std::string> screenReader = kit::DescribeWindowEyesAccess();
    std::wstring program = folder + L"\\kelvo_e2e.exe";
    if (::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Refuse("kelvo_e2e.exe is not beside run-tests.cmd: unzip the whole kit into one folder");
    std::vector<std::string> names = kit::ListScenarios(program, options.filter);
    if (names.empty()) return Refuse("no scenarios to run: the filter selects none, or kelvo_e2e.exe cannot start");
    kit::Saved machineSaved;
    std::string failure;
    if (!MakeSaveFolder(saveFolder) || !kit::SaveMachine(saved, machineSaved, failure)) {
        return Refuse((failure.empty() ? "cannot make " + machine::Ansi(saveFolder) : failure) +
                      "; no scenario was run");
    }

    g_putBack = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
    std::wstring logs = folder + L"\\logs";
    ::CreateDirectoryW(logs.c_str(), nullptr);
    std::printf("Windows: %s\n", windows.c_str());
    for (const std::string& line : screenReader) std::printf("%s\n", line.c_str());
    std::vector<kit::Outcome> outcomes;
    for (const std::string& name : names) {
        kit::Outcome outcome;
        if (g_stopped) {
            outcome.name = name;
            outcome.message = "not run: the run was stopped";
        } else {
            outcome = kit::RunScenario(program, name, logs + L"\\" + machine::Wide(name) + L".txt", options.limit);
        }
        std::printf("%s\n", kit::Line(outcome).c_str());
        // A failure's whole output goes to the error stream as well: its log may be held by a process it left.
        if (outcome.verdict == kit::Verdict::failed) std::fprintf(stderr, "%s\n", outcome.output.c_str());
        std::fflush(stdout);
        outcomes.push_back(outcome);
    }

    DWORD start = ::GetTickCount();
    std::vector<std::string> failures = kit::RestoreMachine(machineSaved, saved);
    ::SetEvent(g_putBack);
    outcomes.push_back(PutBackOutcome(failures, (::GetTickCount() - start) / 1000.0));
    PrintFailures(failures);
    if (!failures.empty()) {
        std::fprintf(stderr, "run-tests: the save stays in %s, and the next run puts it back\n",
                     machine::Ansi(saved).c_str());
    }
    bool written = kit::WriteReports(folder, windows, screenReader, outcomes);
    bool failed = false;
    for (const kit::Outcome& outcome : outcomes) failed = failed || outcome.verdict == kit::Verdict::failed;
    std::printf("%s\n", kit::Tally(outcomes).c_str());
    if (!written) return Refuse("could not write report.txt and report.xml in " + machine::Ansi(folder));
    // A PC not put back is told apart from failed scenarios: a CI must not reuse that machine as it is.
    if (!failures.empty()) return 3;
    // A skipped scenario found nothing to check on this PC: a run with skips and no failure has passed.
    return failed ? 1 : 0;
}
