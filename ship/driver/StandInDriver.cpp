// Stand-in for the display's driver installer: it registers the CP210x driver installation as the real
// installer would, and nothing else. The display's port appears only when the display is plugged in.
// When KELVO_SIM_LOG names a file, it appends one line there: its current folder, a tab, its command line.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr char kInstallKey[] =
    "SOFTWARE\\Silicon Laboratories, Inc.\\Silicon Laboratories Driver Installations\\VCP CP210x "
    "Cardinal\\SLABCOMM&10C4&EA60";
constexpr char kProductName[] = "Silicon Labs CP210x USB to UART Bridge (stand-in)";
// Kept in the program although nothing reads it: make dist knows any build's stand-in installer by it.
[[gnu::used]] constexpr char kStandInMark[] = KELVO_STANDIN_MARK;

void Record() {
    char log[MAX_PATH] = "";
    DWORD length = ::GetEnvironmentVariableA("KELVO_SIM_LOG", log, sizeof log);
    if (length == 0 || length >= sizeof log) return;
    char folder[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof folder, folder);
    if (FILE* out = std::fopen(log, "ab")) {
        std::fprintf(out, "%s\t%s\r\n", folder, ::GetCommandLineA());
        std::fclose(out);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Record();
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return 1;
    }
    LONG status = ::RegSetValueExA(key, "ProductName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kProductName),
                                   static_cast<DWORD>(std::strlen(kProductName) + 1));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}
