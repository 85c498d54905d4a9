// Window-Eyes' stand-in for the scenarios: a program of its own whose main window, titled "Window-Eyes", closes
// before its process ends, as a real program's does: it shuts down after its window is gone, holding its braille
// driver open until it ends, and writes its settings back as it exits.
// Arguments: how long it lingers after its window is gone (ms); a file it holds open until it ends, as a loaded DLL
// is, or "-"; a WINEYES.INI whose [driver] brailleport it reads at its start and writes back as it exits, or "-";
// "refuse" where its process refuses to be opened by others, as the process of another account refuses an elevated
// setup (an empty DACL: only a caller with the debug privilege enabled gets in), or "-".
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

std::string Argument(int index) { return index < __argc ? __argv[index] : "-"; }
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DWORD lingerMs = static_cast<DWORD>(std::atoi(Argument(1).c_str()));
    std::string holds = Argument(2);
    std::string settings = Argument(3);

    if (Argument(4) == "refuse") {
        SECURITY_DESCRIPTOR descriptor;
        ACL empty;
        if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !::InitializeAcl(&empty, sizeof empty, ACL_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE) ||
            !::SetKernelObjectSecurity(::GetCurrentProcess(), DACL_SECURITY_INFORMATION, &descriptor)) {
            return 5;
        }
    }

    HANDLE held = INVALID_HANDLE_VALUE;
    if (holds != "-") {
        held = ::CreateFileA(holds.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE) return 2;
    }
    char port[64] = "";
    if (settings != "-") ::GetPrivateProfileStringA("driver", "brailleport", "", port, sizeof port, settings.c_str());

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "KelvoWindowEyesStandIn";
    if (!::RegisterClassA(&windowClass)) return 3;
    HWND window = ::CreateWindowExA(0, windowClass.lpszClassName, "Window-Eyes", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                    40, 320, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return 4;
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }

    ::Sleep(lingerMs);
    if (settings != "-") ::WritePrivateProfileStringA("driver", "brailleport", port, settings.c_str());
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    return 0;
}
