// What a run found: the Windows it ran on, its screen reader and a line per scenario, as report.txt and as JUnit XML
// (report.xml).
#include "Report.h"

#include <windows.h>

#include <cstdio>
#include <sstream>

#include "MachineRegistry.h"

namespace kit {

namespace {
// The product name as Windows keeps it for itself (the 64-bit view on 64-bit Windows).
std::string ProductName() {
    HKEY key = nullptr;
    char name[256] = "";
    DWORD size = sizeof name - 1;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                        KEY_READ | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
        if (::RegQueryValueExA(key, "ProductName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size) !=
            ERROR_SUCCESS) {
            name[0] = '\0';
        }
        ::RegCloseKey(key);
    }
    return name[0] ? name : "Windows (no product name)";
}

FARPROC NtdllFunction(const char* name) { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name); }

// GetVersionEx gives a program without a compatibility manifest the version of Windows 8; RtlGetVersion the true one.
std::string Version() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto getVersion =
        reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void (*)()>(NtdllFunction("RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!getVersion || getVersion(&info) != 0) return "version unknown";
    return "version " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " build " +
           std::to_string(info.dwBuildNumber);
}

// The scenarios' messages are in the machine's code page; both reports are UTF-8.
std::string Utf8(const std::string& ansi) { return machine::Utf8(machine::Wide(ansi)); }

// XML 1.0 allows no control characters but tab, line feed and carriage return, not even as references: a scenario's
// message may hold any byte, and report.xml stays well-formed.
std::string Xml(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') c = '?';
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

// What each scenario that works the setup with real keys and no foreground granted tells about this PC's foreground
// rules, as it passed or failed.
struct ForegroundFinding {
    const char* scenario;
    const char* passed;
    const char* failed;
};

const ForegroundFinding kForegroundFindings[] = {
    {"RealInput.AfterADriverInstallerWithAWindowTheNextPromptIsInFront",
     "the installer the setup starts opens in front, and once its window is gone the activation comes back to the "
     "setup and its next prompt opens in front; no window of the setup was hung while the installer worked 8 s more",
     "after the driver installer the next prompt opened behind another window, or a window of the setup was hung "
     "(\"Not Responding\") while the installer worked"},
    {"RealInput.AfterARealEnterOnTheRetryPromptTheNextRetryPromptIsInFront",
     "after a real ENTER closes a prompt the activation stays with the setup's main window, so the retry prompt 500 ms "
     "later opens in front, and the foreground never passed to another program's window",
     "after a real ENTER closed a prompt the activation went to another program, and the next retry prompt opened "
     "behind it"},
    {"RealInput.AfterTheUpdatingSoundTheFinalMessageIsInFront",
     "the final message, after a prompt closed with a real ENTER and Updating.wav played synchronously, opens in front",
     "the final message, after a prompt closed with a real ENTER and Updating.wav played synchronously, opened behind "
     "another window"},
    {"RealInput.AfterWindowEyesIsClosedWithItsOwnKeysTheLastPromptIsInFront",
     "after the user closes Window-Eyes with its own keys, its process ending later, the last prompt opens in front",
     "after the user closed Window-Eyes with its own keys, the last prompt opened behind another window"},
    {"RealInput.WatchClosesItsPromptBelowAnotherProgramsForegroundWindowAndTheNextIsInFront",
     "a prompt that the watch closes below another program's foreground window is found, and the next prompt still "
     "opens in front",
     "after the watch closed its prompt below another program's foreground window, the next prompt opened behind"},
};

// The finding's line below the scenario's; none for other scenarios, or where it skipped (its reason says why).
std::string ForegroundLine(const Outcome& outcome) {
    for (const ForegroundFinding& finding : kForegroundFindings) {
        if (outcome.name != finding.scenario || outcome.verdict == Verdict::skipped) continue;
        return std::string("  on this PC: ") + (outcome.verdict == Verdict::passed ? finding.passed : finding.failed);
    }
    return "";
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}
}  // namespace

std::string DescribeWindows(bool elevated) {
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    std::string description = ProductName() + ", " + Version() + ", " + (wow64 ? "64-bit" : "32-bit") +
                              ", ANSI code page " + std::to_string(::GetACP()) +
                              (elevated ? ", elevated" : ", not elevated");
    using WineVersionFunction = const char*(CDECL*)();
    auto wine = reinterpret_cast<WineVersionFunction>(reinterpret_cast<void (*)()>(NtdllFunction("wine_get_version")));
    if (wine) description += std::string(", under Wine ") + wine();
    return description;
}

std::string Line(const Outcome& outcome) {
    static const char* const kWords[] = {"FAILED", "passed", "skipped"};  // in the order of Verdict
    std::string line = std::string(kWords[static_cast<int>(outcome.verdict)]) + "  " + outcome.name + "  " +
                       Seconds(outcome.seconds) + " s";
    return outcome.verdict == Verdict::passed ? line : line + "  " + outcome.message;
}

std::string Tally(const std::vector<Outcome>& outcomes) {
    int counts[3] = {};
    for (const Outcome& outcome : outcomes) ++counts[static_cast<int>(outcome.verdict)];
    return std::to_string(counts[static_cast<int>(Verdict::passed)]) + " passed, " +
           std::to_string(counts[static_cast<int>(Verdict::failed)]) + " failed, " +
           std::to_string(counts[static_cast<int>(Verdict::skipped)]) + " skipped";
}

bool WriteReports(const std::wstring& folder, const std::string& windows, const std::vector<std::string>& screenReader,
                  const std::vector<Outcome>& outcomes) {
    int failed = 0, skipped = 0;
    double total = 0;
    std::string reader;
    for (const Outcome& outcome : outcomes) {
        failed += outcome.verdict == Verdict::failed ? 1 : 0;
        skipped += outcome.verdict == Verdict::skipped ? 1 : 0;
        total += outcome.seconds;
    }

    std::ostringstream text;
    text << "Windows: " << Utf8(windows) << "\r\n";
    for (const std::string& line : screenReader) {
        text << Utf8(line) << "\r\n";
        reader += (reader.empty() ? "" : "; ") + Utf8(line.substr(line.find_first_not_of(' ')));
    }
    text << "RealInput.*: the setup worked with real keys and no foreground granted; on Windows they tell whether its "
            "prompts open in front (under Wine they pass whatever it does)\r\n";
    for (const Outcome& outcome : outcomes) {
        text << Utf8(Line(outcome)) << "\r\n";
        std::string finding = ForegroundLine(outcome);
        if (!finding.empty()) text << finding << "\r\n";
    }
    text << Tally(outcomes) << "\r\n";

    std::ostringstream xml;
    std::string counts = "tests=\"" + std::to_string(outcomes.size()) + "\" failures=\"" + std::to_string(failed) +
                         "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Seconds(total) + "\"";
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites " << counts << ">\n"
        << "  <testsuite name=\"kelvo-e2e\" " << counts << ">\n"
        << "    <properties><property name=\"windows\" value=\"" << Xml(Utf8(windows)) << "\"/>"
        << "<property name=\"screen-reader\" value=\"" << Xml(reader) << "\"/></properties>\n";
    for (const Outcome& outcome : outcomes) {
        std::size_t dot = outcome.name.find('.');
        xml << "    <testcase classname=\"" << Xml(outcome.name.substr(0, dot)) << "\" name=\""
            << Xml(outcome.name.substr(dot + 1)) << "\" time=\"" << Seconds(outcome.seconds) << "\"";
        if (outcome.verdict == Verdict::passed) {
            xml << "/>\n";
        } else if (outcome.verdict == Verdict::skipped) {
            xml << "><skipped message=\"" << Xml(Utf8(outcome.message)) << "\"/></testcase>\n";
        } else {
            xml << "><failure message=\"" << Xml(Utf8(outcome.message)) << "\">" << Xml(Utf8(outcome.output))
                << "</failure></testcase>\n";
        }
    }
    xml << "  </testsuite>\n</testsuites>\n";
    return WriteWhole(folder + L"\\report.txt", text.str()) && WriteWhole(folder + L"\\report.xml", xml.str());
}

}  // namespace kit
