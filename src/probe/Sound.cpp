// Loads winmm by its full path in the system folder, so that a DLL planted beside the setup is never used.
#include "probe/Sound.h"

#include <windows.h>

#include <string>

namespace {
using PlaySoundFn = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);

PlaySoundFn LoadPlaySound() {
    char system[MAX_PATH] = "";
    UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(system) + "\\winmm.dll";
    HMODULE winmm = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!winmm) return nullptr;
    return reinterpret_cast<PlaySoundFn>(reinterpret_cast<void*>(::GetProcAddress(winmm, "PlaySoundA")));
}
}  // namespace

bool PlayWave(const char* file, unsigned flags) {
    static const PlaySoundFn play = LoadPlaySound();
    return play && play(file, nullptr, flags);
}
