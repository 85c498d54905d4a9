// Start-up hardening. A blind user runs the setup from the Downloads folder, elevated (its name holds "setup"),
// beside whatever web pages left there: a DLL in that folder must never be loaded in its place of a system DLL.
#include "afx/ProcessHardening.h"

#include <windows.h>

#include <cwchar>

namespace {
// Names that Windows, its theming, comctl32 and the accessibility layer load by name after start-up. Loaded
// first from the system folder by full path, a later load by name finds them already in the process, on every
// Windows: XP and Vista cannot restrict the search, and some of these loads (comctl32's delay load of msimg32)
// do not follow the process's search restriction anyway.
const wchar_t* const kLoadedLaterByName[] = {
    L"uxtheme.dll",    // visual styles, which the common-controls manifest switches on
    L"dwmapi.dll",     // uxtheme and the window frame ask the desktop compositor
    L"msimg32.dll",    // comctl32 6 delay-loads it the first time it draws
    L"oleacc.dll",     // a screen reader's MSAA request (WM_GETOBJECT) is answered through it
    L"winmm.dll",      // the chime and the Window-Eyes sounds
    L"msacm32.dll",    // winmm's sound mapper, loaded by name the first time a WAV file plays
    L"mmdevapi.dll",   // the audio endpoints, which winmm of Vista and later opens by name to play
    L"cryptbase.dll",  // advapi32 of Windows 7 loads it by name for its random numbers
    L"propsys.dll",    // the shell's property system, which comctl32 and uxtheme may pull in
    L"userenv.dll",    // profile paths, asked for by the shell parts of Windows 7 and later
    L"apphelp.dll",    // the compatibility layer, loaded by name when a child process starts
};

template <typename Fn>
Fn KernelFunction(const char* name) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(kernel, name))) : nullptr;
}
}  // namespace

// Each step is looked up at run time: XP and Vista without their updates lack some of them, and the program must
// still start there.
void HardenProcess() {
    // A corrupted heap ends the process instead of running on (Vista and later; XP ignores the request).
    ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    // DEP, where it is only opt-in (XP SP3, Vista without SP1); where the PE flag already turned it on for good
    // (Vista SP1 and later, every 64-bit Windows) the call fails harmlessly.
    using SetDepFn = BOOL(WINAPI*)(DWORD);
    if (auto setDep = KernelFunction<SetDepFn>("SetProcessDEPPolicy")) setDep(PROCESS_DEP_ENABLE);

    // Only the system folder for every load by name (Windows 8 and later, Windows 7 with its loader update)...
    using SetDefaultDirsFn = BOOL(WINAPI*)(DWORD);
    if (auto setDefault = KernelFunction<SetDefaultDirsFn>("SetDefaultDllDirectories")) {
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // ... and never the current directory (XP SP1 and later).
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    if (auto setDllDirectory = KernelFunction<SetDllDirectoryFn>("SetDllDirectoryW")) setDllDirectory(L"");

    // A wide buffer, not std::wstring: the wide string code would grow the program by a tenth for these lines.
    wchar_t path[MAX_PATH] = L"";
    UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    for (const wchar_t* name : kLoadedLaterByName) {
        if (length + 1 + std::wcslen(name) >= MAX_PATH) continue;
        path[length] = L'\\';
        std::wcscpy(path + length + 1, name);
        // A DLL that this Windows lacks is simply not there to be planted in its place.
        ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
}
