// make bench: the setup measured side by side with its baselines in one run, printed as a table.
// Cold start to the main window against the same window opened from the setup's own resources and manifest by a
// program that does nothing else, and against a minimal dialog built with the same flags; the watch timers'
// latencies against their periods; CPU time while waiting; the program's size. The one-file release (in
// ONE-FILE-FOLDER, beside the zip) started to the same main window against the setup started directly, and its size
// against the zip's, and against another build's one-file program when one is given (BASELINE-ONE-FILE, e.g. the last
// release's). Usage: kelvo_benchmark.exe SHIPPED-FOLDER MINIMAL-PROGRAM-FOLDER ONE-FILE-FOLDER [BASELINE-ONE-FILE]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Bench.h"
#include "SimulatedPc.h"

using namespace bench;

namespace {
constexpr int kStarts = 12;
constexpr int kDeviceRuns = 10;
constexpr int kWindowEyesRuns = 6;
constexpr DWORD kCpuSampleMs = 15000;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    double min;
    double median;
    double p95;
    double max;
};

Figures Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) return {0, 0, 0, 0};
    std::size_t p95 = std::min(samples.size() - 1, static_cast<std::size_t>(samples.size() * 0.95));
    return {samples.front(), samples[samples.size() / 2], samples[p95], samples.back()};
}

// Milliseconds from the start of the process to its visible window with the title; it is then closed.
double ColdStart(const std::string& folder, const std::string& program, const std::string& title,
                 const std::string& arguments = "") {
    double start = Now();
    Wizard process({folder, "", program, arguments});
    double shown = -1;
    for (int i = 0; i < 20000 && shown < 0; ++i) {
        for (HWND hwnd : process.Windows(title)) {
            if (::IsWindowVisible(hwnd)) shown = Now() - start;
        }
        if (shown < 0) ::Sleep(1);
    }
    for (HWND hwnd : process.Windows(title)) ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
    process.WaitExit();
    return shown;
}

// CPU milliseconds the process has used, read from the Linux side (Z:\proc), where Wine's own process times
// do not reach: the Unix process whose command line names the program.
double CpuMs(const std::string& program) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    double result = -1;
    do {
        std::string pid = found.cFileName;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string commandLine = ReadFileBytes("Z:\\proc\\" + pid + "\\cmdline");
        if (commandLine.find(program) == std::string::npos) continue;
        std::string stat = ReadFileBytes("Z:\\proc\\" + pid + "\\stat");
        std::size_t at = stat.rfind(')');
        if (at == std::string::npos) continue;
        // After the name: state, then 10 fields, then utime and stime in ticks of 10 ms.
        unsigned long long user = 0, system = 0;
        if (std::sscanf(stat.c_str() + at + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user,
                        &system) == 2) {
            result = 10.0 * static_cast<double>(user + system);
        }
    } while (result < 0 && ::FindNextFileA(search, &found));
    ::FindClose(search);
    return result;
}

// Polls until the window is gone; the milliseconds from `since`.
double GoneAfter(const Window& window, double since) {
    while (window.Exists() && Now() - since < kTimeoutMs) ::Sleep(1);
    return Now() - since;
}

void FinishRun(Wizard& wizard, HWND previous) {
    while (wizard.Running()) {
        Window prompt = wizard.NextPromptOrEnd(previous, 3000);
        if (!prompt.Handle()) break;
        previous = prompt.Handle();
        prompt.PressEnter();
        prompt.WaitGone();
    }
    wizard.WaitExit();
}

// Time from PortName appearing to the connect prompt closing by itself.
double DeviceLatency(const std::string& setup) {
    demo::Profile profile;
    demo::FindProfile("none", profile);
    demo::LayOut(profile);
    Wizard wizard({setup, "", "", "", false});
    wizard.WaitMain().Click(1000);
    Window connect = wizard.WaitPrompt();
    ::Sleep(120);
    double plugged = Now();
    demo::PlugInDisplay(profile, "COM3");
    double latency = GoneAfter(connect, plugged);
    FinishRun(wizard, connect.Handle());
    return latency;
}

// Time from Window-Eyes' window closing to the close prompt closing by itself.
double WindowEyesLatency(const std::string& setup) {
    demo::Profile profile;
    demo::FindProfile("werunning", profile);
    demo::LayOut(profile);
    demo::PlugInDisplay(profile, "COM3");
    WindowEyesProgram windowEyes;
    Wizard wizard({setup, "", "", "", false});
    wizard.WaitMain().Click(1000);
    Window close = wizard.WaitPrompt();
    ::Sleep(700);
    double closed = Now();
    windowEyes.Close();
    double latency = GoneAfter(close, closed);
    FinishRun(wizard, close.Handle());
    return latency;
}

// CPU milliseconds per minute that the program uses while it waits.
double CpuPerMinute(const std::string& program) {
    double before = CpuMs(program);
    ::Sleep(kCpuSampleMs);
    return (CpuMs(program) - before) * 60000.0 / kCpuSampleMs;
}

double FileKb(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow / 1024.0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(
            stderr,
            "usage: kelvo_benchmark SHIPPED-FOLDER MINIMAL-PROGRAM-FOLDER ONE-FILE-FOLDER [BASELINE-ONE-FILE]\n");
        return 2;
    }
    std::string setup = "C:\\Kelvo setup";
    RemoveTree(setup);
    CopyTree(argv[1], setup);
    std::string minimal = argv[2];
    std::string oneFile = "C:\\Kelvo download";
    RemoveTree(oneFile);
    MakeFolders(oneFile);
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((std::string(argv[3]) + "\\kelvo-setup-*.exe").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "no kelvo-setup-*.exe in %s\n", argv[3]);
        return 2;
    }
    ::FindClose(find);
    std::string oneFileExe = found.cFileName;
    std::string zip = oneFileExe.substr(0, oneFileExe.size() - 4) + ".zip";
    ::CopyFileA((std::string(argv[3]) + "\\" + oneFileExe).c_str(), (oneFile + "\\" + oneFileExe).c_str(), FALSE);
    // Another build's one-file program, in a download folder of its own under the name it would have.
    std::string baseline = argc > 4 ? "C:\\Kelvo download baseline" : "";
    if (!baseline.empty()) {
        RemoveTree(baseline);
        MakeFolders(baseline);
        ::CopyFileA(argv[4], (baseline + "\\" + oneFileExe).c_str(), FALSE);
    }
    ResetMachine();

    std::string setupExe = "\"" + setup + "\\Kelvo Braille display setup.exe\"";
    std::vector<double> wizardStarts, sameStarts, minimalStarts, oneFileStarts, baselineStarts;
    for (int i = 0; i < kStarts; ++i) {  // interleaved, so all see the same machine
        wizardStarts.push_back(ColdStart(setup, "", "setup 3.09.12.16"));
        oneFileStarts.push_back(ColdStart(oneFile, oneFileExe, "setup 3.09.12.16"));
        if (!baseline.empty()) baselineStarts.push_back(ColdStart(baseline, oneFileExe, "setup 3.09.12.16"));
        sameStarts.push_back(ColdStart(minimal, "kelvo_same_resources.exe", "setup 3.09.12.16", setupExe));
        minimalStarts.push_back(ColdStart(minimal, "kelvo_minimal_dialog.exe", "minimal dialog"));
    }
    std::vector<double> device, windowEyes;
    std::fprintf(stderr, "cold starts measured\n");
    for (int i = 0; i < kDeviceRuns; ++i) device.push_back(DeviceLatency(setup));
    std::fprintf(stderr, "device watch measured\n");
    for (int i = 0; i < kWindowEyesRuns; ++i) windowEyes.push_back(WindowEyesLatency(setup));
    std::fprintf(stderr, "Window-Eyes watch measured\n");

    demo::Profile none;
    demo::FindProfile("none", none);
    demo::LayOut(none);
    double waitingCpu = 0;
    {
        Wizard wizard({setup, "", "", "", false});
        wizard.WaitMain().Click(1000);
        Window connect = wizard.WaitPrompt();
        waitingCpu = CpuPerMinute("Kelvo Braille display setup.exe");
        connect.PressEscape();
        wizard.WaitExit();
    }
    double idleCpu = 0;
    {
        Wizard baseline({minimal, "", "kelvo_minimal_dialog.exe", ""});
        Window window = baseline.WaitWindow("minimal dialog");
        idleCpu = CpuPerMinute("kelvo_minimal_dialog.exe");
        ::PostMessageA(window.Handle(), WM_COMMAND, IDCANCEL, 0);
        baseline.WaitExit();
    }
    ResetMachine();

    Figures ws = Summarise(wizardStarts), ss = Summarise(sameStarts), ms = Summarise(minimalStarts);
    Figures os = Summarise(oneFileStarts);
    Figures dv = Summarise(device), we = Summarise(windowEyes);
    double exeKb = FileKb(setup + "\\Kelvo Braille display setup.exe");
    double minimalKb = FileKb(minimal + "\\kelvo_minimal_dialog.exe");
    std::printf("\n| measure | setup | baseline | ratio |\n|---|---|---|---|\n");
    std::printf(
        "| cold start to main window, min / median / max (ms, n=%d) | %.0f / %.0f / %.0f | %.0f / %.0f / %.0f "
        "(its own window, resources and manifest, no code) | %.2f (medians) |\n",
        kStarts, ws.min, ws.median, ws.max, ss.min, ss.median, ss.max, ws.median / ss.median);
    std::printf("| cold start to main window, median (ms, n=%d) | %.0f | %.0f (minimal dialog) | %.2f |\n", kStarts,
                ws.median, ms.median, ws.median / ms.median);
    std::printf("| cold start to main window, p95 (ms) | %.0f | %.0f (minimal dialog) | %.2f |\n", ws.p95, ms.p95,
                ws.p95 / ms.p95);
    std::printf(
        "| PortName appears -> connect prompt closed, median / p95 (ms, n=%d) | %.0f / %.0f | 50 (timer "
        "period) | %.2f / %.2f |\n",
        kDeviceRuns, dv.median, dv.p95, dv.median / 50, dv.p95 / 50);
    std::printf(
        "| Window-Eyes closed -> close prompt closed, median / p95 (ms, n=%d) | %.0f / %.0f | 500 (timer "
        "period) | %.2f / %.2f |\n",
        kWindowEyesRuns, we.median, we.p95, we.median / 500, we.p95 / 500);
    // The process times tick in 10 ms steps: an idle baseline below one tick gives no ratio, only a bound.
    char cpuRatio[64];
    if (idleCpu >= 10.0) {
        std::snprintf(cpuRatio, sizeof cpuRatio, "%.1f", waitingCpu / idleCpu);
    } else {
        std::snprintf(cpuRatio, sizeof cpuRatio, "> %.0f (baseline below one 10 ms tick)", waitingCpu / 10.0);
    }
    std::printf(
        "| CPU while waiting at the connect prompt (ms per minute) | %.0f (%.2f %% of one core) | %.0f (minimal "
        "dialog idle) | %s |\n",
        waitingCpu, waitingCpu / 600.0, idleCpu, cpuRatio);
    std::printf("| program size (KiB) | %.0f | %.0f (minimal dialog) | %.2f |\n", exeKb, minimalKb, exeKb / minimalKb);
    std::printf(
        "| one-file release: start to the setup's main window, min / median / max (ms, n=%d) | %.0f / %.0f / %.0f | "
        "%.0f / %.0f / %.0f (the setup started directly) | %.2f (medians) |\n",
        kStarts, os.min, os.median, os.max, ws.min, ws.median, ws.max, os.median / ws.median);
    double oneFileKb = FileKb(oneFile + "\\" + oneFileExe), zipKb = FileKb(std::string(argv[3]) + "\\" + zip);
    std::printf("| one-file release size (KiB) | %.0f | %.0f (the zip) | %.2f |\n", oneFileKb, zipKb,
                oneFileKb / zipKb);
    RemoveTree(oneFile);
    if (!baseline.empty()) {
        Figures bs = Summarise(baselineStarts);
        std::printf(
            "| one-file release: start to the setup's main window, min / median / max (ms, n=%d) | %.0f / %.0f / %.0f "
            "| %.0f / %.0f / %.0f (%s) | %.2f (medians) |\n",
            kStarts, os.min, os.median, os.max, bs.min, bs.median, bs.max, argv[4], os.median / bs.median);
        double baselineKb = FileKb(baseline + "\\" + oneFileExe);
        std::printf("| one-file release size (KiB) | %.0f | %.0f (%s) | %.2f |\n", oneFileKb, baselineKb, argv[4],
                    oneFileKb / baselineKb);
        RemoveTree(baseline);
    }
    return 0;
}
